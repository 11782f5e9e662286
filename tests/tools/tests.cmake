# duvix-picinfo's command line: help, version, and clear refusals with a non-zero exit.
add_test(NAME tools.picinfo_options COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/check_picinfo.sh
  $<TARGET_FILE:duvix-picinfo> ${DUVIX_CORPUS_DIR}/bmp/bmpsuite/g/rgb24.bmp ${CMAKE_CROSSCOMPILING_EMULATOR})
