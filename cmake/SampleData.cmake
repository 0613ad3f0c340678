# Imports the sample sources into the Data folder beside the built executable,
# so the program and its tests always have a database.
file(GLOB_RECURSE sample_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/sample/sources/*)
set(sample_stamp ${CMAKE_BINARY_DIR}/sample-data.stamp)
add_custom_command(
    OUTPUT ${sample_stamp}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${LOREWICK_DATA_DIR}
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_SOURCE_DIR}/sample/sources ${LOREWICK_DATA_DIR}
    COMMAND ${CMAKE_COMMAND} -E touch ${sample_stamp}
    DEPENDS ${sample_sources}
    COMMENT "Preparing the sample Data folder")
add_custom_target(sample_data ALL DEPENDS ${sample_stamp})
