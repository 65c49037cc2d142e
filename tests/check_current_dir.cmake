# Fails when code outside platform/ reads or changes the process's current
# directory. Spindle never changes it; tools get a working directory of
# their own, and the start directory is read once by platform/.
# Caught: QDir::setCurrent, QDir::current(), QDir::currentPath, chdir,
# fchdir, getcwd, get_current_dir_name, QDir() / QDir(".") resolving a name,
# a QDir made from a path (a relative one counts from the current directory:
# paths are joined and made absolute through platform/), and QFileInfo of a
# quoted literal relative name made absolute.
# Comments and string literals are not searched.
# Arguments: -DSRC=<source root>
cmake_minimum_required(VERSION 3.22)
get_filename_component(SRC "${SRC}" ABSOLUTE)

set(patterns
  "QDir::setCurrent[ \t]*\\("
  "QDir::current[ \t]*\\("
  "QDir::currentPath[ \t]*\\("
  "(^|[^A-Za-z0-9_])f?chdir[ \t]*\\("
  "(^|[^A-Za-z0-9_])getcwd[ \t]*\\("
  "get_current_dir_name[ \t]*\\("
  "QDir[ \t]*\\([ \t]*\\)[ \t]*\\.[ \t]*(absoluteFilePath|absolutePath|canonicalPath|filePath|entryList|exists)"
  "(^|[^A-Za-z0-9_:])QDir[ \t]*[({][ \t]*[^) \t}]"
  "(^|[^A-Za-z0-9_:])QDir[ \t&*]+[A-Za-z_][A-Za-z0-9_]*[ \t]*[({][ \t]*[^) \t}]")
# Read with the line's string literals in place.
set(literal_patterns
  "QDir[ \t]*\\([ \t]*(QStringLiteral\\(|QLatin1String\\()?\"\\.\""
 "QFileInfo[ \t]*\\([ \t]*(QStringLiteral\\(|QLatin1String\\()?\"[^/\"][^\"]*\"\\)?[ \t]*\\)[ \t]*\\.[ \t]*(absoluteFilePath|absolutePath|canonicalFilePath)")

set(failures 0)
file(GLOB_RECURSE all RELATIVE "${SRC}" "${SRC}/*.cpp" "${SRC}/*.h")
foreach(rel IN LISTS all)
  if(rel MATCHES "^platform/")
    continue()
  endif()
  file(STRINGS "${SRC}/${rel}" lines)
  set(n 0)
  foreach(line IN LISTS lines)
    math(EXPR n "${n} + 1")
    # The code of the line: its // comment and a lone block-comment line go.
    string(REGEX REPLACE "//.*$" "" code "${line}")
    if(code MATCHES "^[ \t]*\\*")
      continue()
    endif()
    string(REGEX REPLACE "\"([^\"\\\\]|\\\\.)*\"" "\"\"" bare "${code}")
    set(hit FALSE)
    foreach(p IN LISTS literal_patterns)
      if(code MATCHES "${p}")
        set(hit TRUE)
      endif()
    endforeach()
    foreach(p IN LISTS patterns)
      if(bare MATCHES "${p}")
        set(hit TRUE)
      endif()
    endforeach()
    if(hit)
      message("${rel}:${n}: ${line}")
      math(EXPR failures "${failures} + 1")
    endif()
  endforeach()
endforeach()

if(failures GREATER 0)
  message(FATAL_ERROR "${failures} use(s) of the current directory outside platform/")
endif()
list(LENGTH all count)
message("Current directory untouched outside platform/: ${count} files")
