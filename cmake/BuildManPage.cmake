# cmake -DGROFF=... -DGZIP=... -DVERSION=3.1g -DPAGE=docs/man/NAME.N -DOUT=.../NAME.N.gz -P
# Puts the version into the page's title line (its source says "Vidzoer"
# there), fails on any groff warning, then writes the page gzipped (no name
# or time stamp inside, so that the same page always packs to the same bytes).
file(READ ${PAGE} _text)
string(REGEX REPLACE "^(\\.TH [^\n]*)\"Vidzoer\"" "\\1\"Vidzoer ${VERSION}\"" _text "${_text}")
get_filename_component(_dir ${OUT} DIRECTORY)
file(MAKE_DIRECTORY ${_dir})
file(WRITE ${OUT}.page "${_text}")
execute_process(COMMAND ${GROFF} -man -ww -z ${OUT}.page RESULT_VARIABLE _rc ERROR_VARIABLE _err)
if(NOT _rc EQUAL 0 OR NOT _err STREQUAL "")
  file(REMOVE ${OUT}.page)
  message(FATAL_ERROR "groff finds fault with ${PAGE}:\n${_err}")
endif()
execute_process(COMMAND ${GZIP} -9 -n -c ${OUT}.page OUTPUT_FILE ${OUT}.tmp RESULT_VARIABLE _rc)
file(REMOVE ${OUT}.page)
if(NOT _rc EQUAL 0)
  message(FATAL_ERROR "gzip failed on ${PAGE}")
endif()
file(RENAME ${OUT}.tmp ${OUT})
