# Each subsystem folder lists its sources by globbing, so that adding a file
# needs no edit of a shared list.
function(vidzoer_sources out dir)
  file(GLOB _src CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.c)
  set(${out} ${_src} PARENT_SCOPE)
endfunction()
