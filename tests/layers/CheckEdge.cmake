# cmake -DUSER=<library> -DDEPENDENCY=<library> -P CheckEdge.cmake: fails when the layers forbid
cmake_minimum_required(VERSION 3.25)
# USER to link DEPENDENCY, exactly as the library's declaration would.
include("${CMAKE_CURRENT_LIST_DIR}/../../cmake/AirlarkTargets.cmake")
airlark_split_library_name(${USER} subsystem ui)
airlark_check_edge(${USER} ${subsystem} ${ui} ${DEPENDENCY})
