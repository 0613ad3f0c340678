# Builds the Data folder beside the built executable from the sample sources: the program
# imports them into its database files and packs the cost-symbol pictures into the archive
# "Images", so the program and its tests always have a database.
set(sample_source_dirs oracle cardindex summary)
set(sample_inputs)
set(copy_commands)
foreach(dir ${sample_source_dirs})
    file(GLOB_RECURSE files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/sample/${dir}/*)
    list(APPEND sample_inputs ${files})
    list(APPEND copy_commands COMMAND ${CMAKE_COMMAND} -E copy_directory
        ${CMAKE_SOURCE_DIR}/sample/${dir} ${LOREWICK_DATA_DIR}/${dir})
endforeach()
file(GLOB_RECURSE sample_images CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/sample/images/*)

set(sample_stamp ${CMAKE_BINARY_DIR}/sample-data.stamp)
add_custom_command(
    OUTPUT ${sample_stamp}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${LOREWICK_DATA_DIR}
    ${copy_commands}
    COMMAND $<TARGET_FILE:lorewick> -import -data ${LOREWICK_DATA_DIR}
    COMMAND $<TARGET_FILE:lorewick> -pack ${CMAKE_SOURCE_DIR}/sample/images ${LOREWICK_DATA_DIR}/Images
    COMMAND ${CMAKE_COMMAND} -E touch ${sample_stamp}
    DEPENDS ${sample_inputs} ${sample_images} lorewick
    COMMENT "Importing the sample data into ${LOREWICK_DATA_DIR}")
add_custom_target(sample_data ALL DEPENDS ${sample_stamp})
