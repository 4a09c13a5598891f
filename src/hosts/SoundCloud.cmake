# The SoundCloud authorization side of the hosts subsystem: our OAuth2 authorization-code flow,
# the loopback redirect listener, the SoundCloud API client and the pane's view model.
# Included from this folder's CMakeLists.txt once airlark_hosts exists.
if(TARGET airlark_hosts AND TARGET airlark_http)
    target_sources(airlark_hosts PRIVATE
        ${CMAKE_CURRENT_LIST_DIR}/HTTPDataRequest.cpp
        ${CMAKE_CURRENT_LIST_DIR}/LoopbackRedirectListener.cpp
        ${CMAKE_CURRENT_LIST_DIR}/OAuth2CodeFlow.cpp
        ${CMAKE_CURRENT_LIST_DIR}/OAuth2TokenKeeper.cpp
        ${CMAKE_CURRENT_LIST_DIR}/SoundCloudAPIClient.cpp
        ${CMAKE_CURRENT_LIST_DIR}/SoundCloudAPIClientCredentials.cpp
        ${CMAKE_CURRENT_LIST_DIR}/SoundCloudAuthenticationViewModel.cpp
        ${CMAKE_CURRENT_LIST_DIR}/SoundCloudEndpoints.cpp)
    target_link_libraries(airlark_hosts PUBLIC airlark_http Qt6::Network)
endif()
