# The soak core, shared by tools/soak (the long form) and tests/soak (the
# short form). Included from both folders; whichever comes first defines it.
if(NOT TARGET tessaly_soak)
  add_library(tessaly_soak STATIC
    ${CMAKE_CURRENT_LIST_DIR}/Soak.h ${CMAKE_CURRENT_LIST_DIR}/Soak.cpp)
  target_include_directories(tessaly_soak PUBLIC ${CMAKE_CURRENT_LIST_DIR})
  target_link_libraries(tessaly_soak
    PUBLIC tessaly_engine tessaly_gfx
    PRIVATE tessaly_notation tessaly_scores tessaly_midi_service
            tessaly_platform_testing tessaly_warnings)
endif()
