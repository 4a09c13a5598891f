#include "metadata/BackgroundTagWrite.h"

namespace airlark {

BackgroundTagWrite::BackgroundTagWrite(PodcastID3TagWriter writer, Completion completion)
    : BackgroundJob(
          [writer = std::move(writer)](std::stop_token stop) -> std::optional<TagLibMetadataError> {
              TagLibMetadataError error;
              if (writer.write(&error, std::move(stop)))
                  return std::nullopt;
              return error;
          },
          std::move(completion))
{
}

} // namespace airlark
