# Writes release_sums.h: the SHA-256 of every module of every release gaugecheck knows, the
# earlier releases from release_history.txt and the current one from the modules just built, and
# of the sounds this build made (earlier releases shipped none).
#   cmake -DVERSION=1.0.0 -DHISTORY=... -DOUT=... -DMODULES="a.gau|b.gau" -DSOUNDS="a.wav|b.wav"
#     -P release_sums.cmake
# (a "|" between the files: a ";" would split the build's command line).
string(REPLACE "|" ";" MODULES "${MODULES}")
string(REPLACE "|" ";" SOUNDS "${SOUNDS}")
set(rows "")
file(STRINGS ${HISTORY} history REGEX "^[0-9]")
foreach(line IN LISTS history)
  string(REGEX MATCH "^([^ ]+) +([^ ]+) +([0-9a-f]+)$" matched "${line}")
  if(NOT matched)
    message(FATAL_ERROR "${HISTORY}: expected 'version file sha256', got '${line}'")
  endif()
  string(APPEND rows "    {\"${CMAKE_MATCH_1}\", \"${CMAKE_MATCH_2}\", \"${CMAKE_MATCH_3}\"},\n")
endforeach()
foreach(module IN LISTS MODULES)
  file(SHA256 ${module} sum)
  get_filename_component(name ${module} NAME)
  string(APPEND rows "    {\"${VERSION}\", \"${name}\", \"${sum}\"},\n")
endforeach()
set(sound_rows "")
foreach(sound IN LISTS SOUNDS)
  file(SHA256 ${sound} sum)
  get_filename_component(name ${sound} NAME)
  string(APPEND sound_rows "    {\"${VERSION}\", \"${name}\", \"${sum}\"},\n")
endforeach()
set(text "// Made by the build (gaugecheck/release_sums.cmake) from the modules and sounds it built: do not edit.
#pragma once

#include \"known_releases.h\"

namespace gaugecheck {

inline constexpr char CURRENT_RELEASE[] = \"${VERSION}\";
inline constexpr panelcfg::ReleasedFile KNOWN_MODULES[] = {
${rows}};

// A sound file by its name alone (the gauges play it from sound\\QX\\).
inline constexpr panelcfg::ReleasedFile KNOWN_SOUNDS[] = {
${sound_rows}};

}  // namespace gaugecheck
")
# Rewritten only when it changes, so that gaugecheck is rebuilt only when a module or a sound is.
if(EXISTS ${OUT})
  file(READ ${OUT} old)
endif()
if(NOT old STREQUAL text)
  file(WRITE ${OUT} "${text}")
endif()
