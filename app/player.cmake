# The preview's player: the files of the npm package @ruffle-rs/ruffle that scripts/install-deps.sh
# fetched, copied into "player/" beside the program. Nothing of it is kept in the repository;
# without the package the program builds and its preview says that the player is missing.
set(FLASHGRAB_PLAYER_PACKAGE "${PROJECT_SOURCE_DIR}/.player/node_modules/@ruffle-rs/ruffle"
    CACHE PATH "Folder of the installed @ruffle-rs/ruffle package")
set(player_output "${CMAKE_CURRENT_BINARY_DIR}/player")
file(GLOB player_sources CONFIGURE_DEPENDS "${FLASHGRAB_PLAYER_PACKAGE}/*.js"
     "${FLASHGRAB_PLAYER_PACKAGE}/*.wasm")
if(NOT EXISTS "${FLASHGRAB_PLAYER_PACKAGE}/ruffle.js")
  message(WARNING "The preview's player is not installed (${FLASHGRAB_PLAYER_PACKAGE}); "
                  "run scripts/install-deps.sh. The window builds without it.")
endif()
set(player_copies "")
foreach(source ${player_sources})
  get_filename_component(name "${source}" NAME)
  add_custom_command(OUTPUT "${player_output}/${name}"
                     COMMAND ${CMAKE_COMMAND} -E make_directory "${player_output}"
                     COMMAND ${CMAKE_COMMAND} -E copy_if_different "${source}" "${player_output}/${name}"
                     DEPENDS "${source}" VERBATIM)
  list(APPEND player_copies "${player_output}/${name}")
endforeach()
add_custom_target(flashgrab_player ALL DEPENDS ${player_copies})
if(TARGET flashgrab)
  add_dependencies(flashgrab flashgrab_player)
endif()
