#pragma once

#include <QByteArray>
#include <QString>
#include <chrono>

namespace airlark::test {

// Real MP3 files for tests, encoded by Debian's lame from a generated sine tone. Each distinct
// encoding is made once per test process and then copied, so tests stay fast.

// A 44.1 kHz mono MP3 of `seconds` seconds at 64 kbit/s, with lame's Info frame and no tag.
QByteArray mp3Bytes(int seconds = 1);

// A constant-bitrate MP3 without an Info frame whose stream lasts `duration`, rounded up to whole
// frames, made by repeating the frames of a short encoding. Suits long files that would be slow
// to encode (an hour, or 100 MB). At 8 kbit/s one frame is 72 ms; above, at 48 kHz, it is 24 ms.
QByteArray repeatedMp3Bytes(std::chrono::milliseconds duration, int kilobitsPerSecond = 8);

// An MP3 of a signal Debian's sox generates (`format`: "-r 44100 -c 2"; `effects`: "synth 4 sine
// 1000 gain -16"), encoded by lame with `lameOptions`; made once per process.
QByteArray generatedMp3Bytes(const QString& format, const QString& effects, const QString& lameOptions);

// Writes `bytes` to `path`, creating the parent folders; returns whether it worked.
bool writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);

// A WAV file of `seconds` seconds (a real audio file that is not an MP3).
QByteArray wavBytes(int seconds = 1);

// A valid image of the given size in `format` ("PNG", "JPEG", "BMP"...), a colour gradient in RGB
// (or greys with `greyscale`), encoded by Qt.
QByteArray imageBytes(int width, int height, const char* format, bool greyscale = false);
QByteArray pngBytes(int width = 8, int height = 8);
QByteArray jpegBytes(int width = 8, int height = 8);

} // namespace airlark::test
