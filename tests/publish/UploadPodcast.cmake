# The upload step: its view model alone, and its Libsyn path against a real FTP server, store and
# Secret Service; its screen inside the real wizard.
if(TARGET airlark_publish AND TARGET airlark_http)
    airlark_test(NAME publish_upload_tests
        SOURCES
            ${CMAKE_CURRENT_LIST_DIR}/UploadPodcastViewModelTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/UploadPodcastLibsynTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/TransferRateEstimatorTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/UploadRecording.h
        LIBS airlark_publish
        TIMEOUT 120)
endif()
if(TARGET airlark_publish_ui)
    file(GLOB airlark_upload_ui_tests CONFIGURE_DEPENDS "${CMAKE_CURRENT_LIST_DIR}/UploadPodcastViewControllerTest.cpp")
    if(airlark_upload_ui_tests)
        airlark_test(NAME publish_upload_ui_tests
            SOURCES ${airlark_upload_ui_tests} ${CMAKE_CURRENT_LIST_DIR}/UploadRecording.h
            LIBS airlark_publish_ui
            TIMEOUT 120)
    endif()
endif()
