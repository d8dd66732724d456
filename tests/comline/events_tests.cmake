# Event handling and control hosting against a connectable object of the tests' own, whose type
# library widl builds from IDL. The test program loads the library from its own folder.
find_program(TOVALEN_WIDL NAMES x86_64-w64-mingw32-widl widl REQUIRED)
# widl resolves importlib("stdole2.tlb") through its library path; Wine ships the file.
find_path(TOVALEN_STDOLE2_DIR stdole2.tlb
  PATHS /usr/lib/x86_64-linux-gnu/wine/x86_64-windows /usr/lib/wine/x86_64-windows /usr/lib64/wine/x86_64-windows
  NO_CMAKE_FIND_ROOT_PATH REQUIRED)

set(TOVALEN_EVENT_SOURCE_TLB ${CMAKE_CURRENT_BINARY_DIR}/event_source.tlb)
add_custom_command(
  OUTPUT ${TOVALEN_EVENT_SOURCE_TLB}
  COMMAND ${TOVALEN_WIDL} -t -L ${TOVALEN_STDOLE2_DIR} -o ${TOVALEN_EVENT_SOURCE_TLB}
          ${CMAKE_CURRENT_SOURCE_DIR}/event_source.idl
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/event_source.idl
  COMMENT "Building the event source's type library with widl"
  VERBATIM)
add_custom_target(comline_event_source_tlb DEPENDS ${TOVALEN_EVENT_SOURCE_TLB})

tovalen_add_test(comline_events_tests
  SOURCES
    events_test.cpp
  LIBS tovalen_comline tovalen_comline_test_objects)
add_dependencies(comline_events_tests comline_event_source_tlb)
