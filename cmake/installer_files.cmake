# Writes the setup program's lists of the staged package's files, so that it
# installs whatever the zip holds, folders included, and its uninstaller
# removes exactly that (files first, then the folders, deepest first):
#   cmake -DSTAGE=<staged folder> -DOUT=<folder for files.nsh, unfiles.nsh> -P installer_files.cmake
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${STAGE} ${STAGE}/*)
file(GLOB_RECURSE folders LIST_DIRECTORIES true RELATIVE ${STAGE} ${STAGE}/*)
list(REMOVE_ITEM folders ${files} "")
list(SORT files)
list(SORT folders)
list(REVERSE folders)  # a folder's subfolders sort after it

# NSIS reads "$" as the start of a variable.
list(TRANSFORM files REPLACE "\\$" "$$")
list(TRANSFORM folders REPLACE "\\$" "$$")
set(install "")
set(uninstall "")
# Every folder, empty ones included, parents first.
foreach(d IN LISTS folders)
  string(REPLACE "/" "\\" wind "${d}")
  string(PREPEND install "CreateDirectory \"$INSTDIR\\${wind}\"\n")
endforeach()
set(current "-")
foreach(f IN LISTS files)
  get_filename_component(dir "${f}" DIRECTORY)
  if(NOT dir STREQUAL current)
    set(current "${dir}")
    string(REPLACE "/" "\\" windir "${dir}")
    if(dir STREQUAL "")
      string(APPEND install "SetOutPath \"$INSTDIR\"\n")
    else()
      string(APPEND install "SetOutPath \"$INSTDIR\\${windir}\"\n")
    endif()
  endif()
  string(APPEND install "File \"${STAGE}/${f}\"\n")
  string(REPLACE "/" "\\" winf "${f}")
  string(APPEND uninstall "Delete \"$INSTDIR\\${winf}\"\n")
endforeach()
foreach(d IN LISTS folders)
  string(REPLACE "/" "\\" wind "${d}")
  string(APPEND uninstall "RMDir \"$INSTDIR\\${wind}\"\n")
endforeach()
# Back to the installation folder, where the uninstaller is written.
string(APPEND install "SetOutPath \"$INSTDIR\"\n")
file(MAKE_DIRECTORY ${OUT})
file(WRITE ${OUT}/files.nsh "${install}")
file(WRITE ${OUT}/unfiles.nsh "${uninstall}")
