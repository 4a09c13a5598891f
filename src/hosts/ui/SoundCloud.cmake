# The SoundCloud pane of the add-account window. Included from this folder's CMakeLists.txt once
# airlark_hosts_ui exists.
if(TARGET airlark_hosts_ui AND TARGET airlark_http)
    target_sources(airlark_hosts_ui PRIVATE
        ${CMAKE_CURRENT_LIST_DIR}/SoundCloudAuthenticationViewController.cpp)
endif()
