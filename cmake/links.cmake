# Makes DIR/NAME a symbolic link to TARGET (a path relative to DIR) for each
# of NAMES, replacing whatever is there:
#   cmake -DDIR=... -DTARGET=... "-DNAMES=a;b" -P links.cmake
foreach(name ${NAMES})
  file(REMOVE ${DIR}/${name})
  file(CREATE_LINK ${TARGET} ${DIR}/${name} SYMBOLIC)
endforeach()
