# The upload step's logic. Included from this folder's CMakeLists.txt once airlark_publish
# exists; it publishes through the SoundCloud track upload, so it needs the HTTP client too.
if(TARGET airlark_publish AND TARGET airlark_http)
    target_sources(airlark_publish PRIVATE
        ${CMAKE_CURRENT_LIST_DIR}/UploadPodcastViewModel.cpp
        ${CMAKE_CURRENT_LIST_DIR}/UploadEndNotice.cpp)
endif()
