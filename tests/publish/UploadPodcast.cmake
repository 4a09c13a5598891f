# The upload step's view model on its Libsyn path, against a real FTP server, store and Secret
# Service (its screens are driven end to end in tests/e2e).
if(TARGET airlark_publish AND TARGET airlark_http)
    airlark_test(NAME publish_upload_tests
        SOURCES
            ${CMAKE_CURRENT_LIST_DIR}/UploadPodcastLibsynTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/UploadRecording.h
        LIBS airlark_publish
        TIMEOUT 120)
endif()
