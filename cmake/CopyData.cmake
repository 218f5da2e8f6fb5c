# Copies the shipped data folder next to the executables without touching the user's files:
#   cmake -DSRC=<data folder> -DDEST=<folder of the executables> -P CopyData.cmake
# The settings files, the opt-out list and the address book and phrase folders are the user's
# once they exist: each is copied only when missing (a folder as a whole). Read-only
# resources (pictures, clips, index.html, the icon...) are refreshed when they differ.
cmake_minimum_required(VERSION 3.24)
if(NOT SRC OR NOT DEST)
  message(FATAL_ERROR "usage: cmake -DSRC=folder -DDEST=folder -P CopyData.cmake")
endif()

set(user_files Company_Info.ini Notice_info.ini OptOut.txt)
set(user_folders LinkmanBook phrase)

file(MAKE_DIRECTORY "${DEST}")
file(GLOB entries RELATIVE "${SRC}" "${SRC}/*")
foreach(entry IN LISTS entries)
  if(entry IN_LIST user_files OR entry IN_LIST user_folders)
    if(NOT EXISTS "${DEST}/${entry}" AND NOT IS_SYMLINK "${DEST}/${entry}")
      file(COPY "${SRC}/${entry}" DESTINATION "${DEST}")
    endif()
  elseif(IS_DIRECTORY "${SRC}/${entry}")
    file(GLOB_RECURSE files RELATIVE "${SRC}" "${SRC}/${entry}/*")
    foreach(f IN LISTS files)
      get_filename_component(dir "${DEST}/${f}" DIRECTORY)
      file(MAKE_DIRECTORY "${dir}")
      file(COPY_FILE "${SRC}/${f}" "${DEST}/${f}" ONLY_IF_DIFFERENT)
    endforeach()
  else()
    file(COPY_FILE "${SRC}/${entry}" "${DEST}/${entry}" ONLY_IF_DIFFERENT)
  endif()
endforeach()
