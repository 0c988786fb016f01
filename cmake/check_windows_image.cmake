# Checks a Windows program file without running it:
#   cmake -DOBJDUMP=... -DIMAGE=quorel.exe -DFORMAT=pei-i386 -P check_windows_image.cmake
# its machine (the object format objdump names), the GUI subsystem, and that it imports only
# the system's DLLs (the program is linked statically: no C++ runtime, no thread library).
cmake_policy(VERSION 3.25)
foreach(var OBJDUMP IMAGE FORMAT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} not given")
  endif()
endforeach()

execute_process(COMMAND ${OBJDUMP} -p ${IMAGE} OUTPUT_VARIABLE dump RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} cannot read ${IMAGE}")
endif()

if(NOT dump MATCHES "file format ${FORMAT}\n")
  string(REGEX MATCH "file format [^\n]*" found "${dump}")
  message(FATAL_ERROR "${IMAGE}: ${found}, not ${FORMAT}")
endif()
if(NOT dump MATCHES "\nSubsystem[ \t]+00000002")
  message(FATAL_ERROR "${IMAGE} is not a GUI program")
endif()

set(system advapi32 comctl32 gdi32 kernel32 msvcrt ole32 oleaut32 user32 version)
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
if(NOT imports)
  message(FATAL_ERROR "${IMAGE} imports nothing")
endif()
foreach(line IN LISTS imports)
  string(REGEX REPLACE "DLL Name: ([^ \t]+)\\.[dD][lL][lL].*" "\\1" name "${line}")
  string(TOLOWER "${name}" name)
  if(NOT name IN_LIST system)
    message(FATAL_ERROR "${IMAGE} imports ${name}.dll, which is not one of the system's")
  endif()
  list(APPEND names ${name})
endforeach()
list(REMOVE_DUPLICATES names)
message(STATUS "${IMAGE}: ${FORMAT}, GUI, imports ${names}")
