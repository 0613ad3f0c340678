# Builds the Data folder beside the built executable from the sample sources, so the
# program and its tests always have a database.
set(sample_source_dirs oracle cardindex summary)
set(sample_inputs)
foreach(dir ${sample_source_dirs})
    file(GLOB_RECURSE files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/sample/${dir}/*)
    list(APPEND sample_inputs ${files})
endforeach()
set(sample_stamp ${CMAKE_BINARY_DIR}/sample-data.stamp)
set(copy_commands)
foreach(dir ${sample_source_dirs})
    list(APPEND copy_commands COMMAND ${CMAKE_COMMAND} -E copy_directory
        ${CMAKE_SOURCE_DIR}/sample/${dir} ${LOREWICK_DATA_DIR}/${dir})
endforeach()
add_custom_command(
    OUTPUT ${sample_stamp}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${LOREWICK_DATA_DIR}
    ${copy_commands}
    COMMAND ${CMAKE_COMMAND} -E touch ${sample_stamp}
    DEPENDS ${sample_inputs}
    COMMENT "Preparing the sample Data folder")
add_custom_target(sample_data ALL DEPENDS ${sample_stamp})
