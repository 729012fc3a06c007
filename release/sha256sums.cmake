# Writes SHA256SUMS.txt for the release zip: one line a file, in the zip's order, as sha256sum
# writes them ("SUM  NAME"), with the CRLF line ends of the other texts end users open.
#   cmake -DOUT=SHA256SUMS.txt "-DENTRIES=NAME=FILE|NAME=FILE..." -P sha256sums.cmake
string(REPLACE "|" ";" entries "${ENTRIES}")
set(sums "")
foreach(entry IN LISTS entries)
  string(FIND "${entry}" "=" split)
  string(SUBSTRING "${entry}" 0 ${split} name)
  math(EXPR split "${split} + 1")
  string(SUBSTRING "${entry}" ${split} -1 file)
  file(SHA256 "${file}" sum)
  string(APPEND sums "${sum}  ${name}\r\n")
endforeach()
file(WRITE "${OUT}" "${sums}")
