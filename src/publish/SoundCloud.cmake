# The SoundCloud track upload of the publish subsystem. Included from this folder's
# CMakeLists.txt once airlark_publish exists.
if(TARGET airlark_publish AND TARGET airlark_http)
    target_sources(airlark_publish PRIVATE
        ${CMAKE_CURRENT_LIST_DIR}/SoundCloudFileUploadEntity.cpp
        ${CMAKE_CURRENT_LIST_DIR}/SoundCloudTrackUpload.cpp)
    target_link_libraries(airlark_publish PUBLIC airlark_hosts airlark_http)
endif()
