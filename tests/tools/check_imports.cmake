# Fails when a program imports a DLL outside the Windows system DLLs that every Windows has:
# a screen saver is one file, copied alone onto machines that have nothing else of ours.
#   cmake -DOBJDUMP=x86_64-w64-mingw32-objdump -P check_imports.cmake -- PROGRAM...
cmake_minimum_required(VERSION 3.25)

set(allowed
  kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll ole32.dll oleaut32.dll
  comdlg32.dll comctl32.dll winmm.dll msvcrt.dll wininet.dll shlwapi.dll version.dll uuid.dll)
# A DLL joins the list only with its reason, here.
# bcrypt.dll (Windows Vista and later): libavutil, linked for the video decoders, seeds its
# random numbers with BCryptGenRandom.
list(APPEND allowed bcrypt.dll)

set(programs)
set(after_dashes OFF)
math(EXPR last "${CMAKE_ARGC} - 1")
foreach(i RANGE ${last})
  if(after_dashes)
    list(APPEND programs "${CMAKE_ARGV${i}}")
  elseif(CMAKE_ARGV${i} STREQUAL "--")
    set(after_dashes ON)
  endif()
endforeach()
if(NOT OBJDUMP OR NOT programs)
  message(FATAL_ERROR "usage: cmake -DOBJDUMP=OBJDUMP -P check_imports.cmake -- PROGRAM...")
endif()

set(failed OFF)
foreach(program IN LISTS programs)
  get_filename_component(name "${program}" NAME)
  execute_process(COMMAND "${OBJDUMP}" -p "${program}"
    OUTPUT_VARIABLE dump ERROR_VARIABLE dump_error RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(SEND_ERROR "${name}: objdump failed: ${dump_error}")
    set(failed ON)
    continue()
  endif()
  string(REGEX MATCHALL "DLL Name: [^\r\n]+" lines "${dump}")
  if(NOT lines)
    # Every Windows program imports kernel32; no list at all means the dump was not read.
    message(SEND_ERROR "${name}: no imported DLLs found")
    set(failed ON)
    continue()
  endif()
  set(imports)
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^DLL Name: " "" dll "${line}")
    string(STRIP "${dll}" dll)
    string(TOLOWER "${dll}" dll)
    list(APPEND imports "${dll}")
    if(NOT dll IN_LIST allowed)
      message(SEND_ERROR "${name} imports ${dll}, which is not a Windows system DLL")
      set(failed ON)
    endif()
  endforeach()
  list(JOIN imports " " shown)
  message(STATUS "${name}: ${shown}")
endforeach()
if(failed)
  message(FATAL_ERROR "programs import DLLs outside the system's")
endif()
