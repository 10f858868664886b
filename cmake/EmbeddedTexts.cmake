# The form descriptions (resources/*.form) and the usage text (resources/help.txt) turned into
# sources at build time, for every build of the program: sets <forms> and <texts> to the two
# generated sources, made in the calling directory's build folder.
function(quilmar_embedded_texts root forms texts)
  file(GLOB form_files CONFIGURE_DEPENDS ${root}/resources/*.form)
  set(form_source ${CMAKE_CURRENT_BINARY_DIR}/formtexts.cpp)
  add_custom_command(OUTPUT ${form_source}
    COMMAND ${CMAKE_COMMAND} -DOUTPUT=${form_source} "-DINPUTS=${form_files}" -P ${root}/cmake/EmbedForms.cmake
    DEPENDS ${form_files} ${root}/cmake/EmbedForms.cmake
    COMMENT "Embedding the form descriptions" VERBATIM)
  set(text_files ${root}/resources/help.txt)
  set(text_source ${CMAKE_CURRENT_BINARY_DIR}/texts.cpp)
  add_custom_command(OUTPUT ${text_source}
    COMMAND ${CMAKE_COMMAND} -DOUTPUT=${text_source} "-DINPUTS=${text_files}" -P ${root}/cmake/EmbedTexts.cmake
    DEPENDS ${text_files} ${root}/cmake/EmbedTexts.cmake
    COMMENT "Embedding the texts" VERBATIM)
  set(${forms} ${form_source} PARENT_SCOPE)
  set(${texts} ${text_source} PARENT_SCOPE)
endfunction()
