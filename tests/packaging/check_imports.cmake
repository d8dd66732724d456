# Checks that each shipped binary imports at load time only libraries that Windows always takes
# from the system folder: its known DLLs, and the common controls, which the program's manifest
# binds to the system's own copy. Any other import is looked for beside the binary first, before
# any code of ours can say otherwise.
#   cmake -DOBJDUMP=<objdump> -DBINARIES=<file>[|<file>...] -P check_imports.cmake
cmake_minimum_required(VERSION 3.20)
foreach(var OBJDUMP BINARIES)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

# The KnownDLLs of Windows 10 and 11 that a program of this kind may import, and comctl32.
set(allowed
  advapi32.dll comctl32.dll comdlg32.dll gdi32.dll imm32.dll kernel32.dll msvcrt.dll normaliz.dll nsi.dll
  ole32.dll oleaut32.dll psapi.dll rpcrt4.dll sechost.dll setupapi.dll shell32.dll shlwapi.dll user32.dll
  ws2_32.dll)

string(REPLACE "|" ";" BINARIES "${BINARIES}")
set(failures)
foreach(binary IN LISTS BINARIES)
  execute_process(COMMAND ${OBJDUMP} -p ${binary} OUTPUT_VARIABLE dump RESULT_VARIABLE dumped)
  if(NOT dumped EQUAL 0)
    message(FATAL_ERROR "cannot read the imports of ${binary}")
  endif()
  string(REGEX MATCHALL "DLL Name: [^\n]+" names "${dump}")
  if(NOT names)
    list(APPEND failures "${binary} lists no imports at all")
  endif()
  foreach(entry IN LISTS names)
    string(REPLACE "DLL Name: " "" name "${entry}")
    string(TOLOWER "${name}" name)
    if(NOT name IN_LIST allowed)
      list(APPEND failures "${binary} imports ${name}")
    endif()
  endforeach()
endforeach()
if(failures)
  string(REPLACE ";" "\n" failures "${failures}")
  message(FATAL_ERROR "${failures}")
endif()
