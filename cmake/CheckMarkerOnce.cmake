# cmake -DFILE=<stub> -P CheckMarkerOnce.cmake
# Counts the payload marker (eight 0x55 bytes) in FILE the way the setup program scans
# its own file: byte by byte, occurrences not overlapping. Anything but exactly one
# fails, and the stub is removed so that no unchecked stub is left behind.
file(READ "${FILE}" hex HEX)
string(LENGTH "${hex}" length)
set(count 0)
set(pos 0)
while(pos LESS length)
  string(SUBSTRING "${hex}" ${pos} -1 rest)
  string(FIND "${rest}" "5555555555555555" at)
  if(at EQUAL -1)
    break()
  endif()
  math(EXPR abs "${pos} + ${at}")
  math(EXPR odd "${abs} % 2")
  if(odd)
    # The match straddles a byte boundary: try again one nibble further.
    math(EXPR pos "${abs} + 1")
  else()
    math(EXPR count "${count} + 1")
    math(EXPR pos "${abs} + 16")
  endif()
endwhile()
if(NOT count EQUAL 1)
  file(REMOVE "${FILE}")
  message(FATAL_ERROR "${FILE}: the payload marker occurs ${count} times, not once; stub removed")
endif()
message(STATUS "${FILE}: payload marker occurs once")
