# Where an installed Vardometer puts its pieces. The two programs go to bin/ and their worker
# to a folder of its own under libexec/; the programs find it relative to themselves, so the
# same package works whatever the prefix.
install(TARGETS vardometer-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(VARDOMETER_WITH_WIDGETS)
    install(TARGETS vardometer RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(TARGETS vardometer-smb-probe RUNTIME DESTINATION ${VARDOMETER_INSTALL_WORKERDIR})

# Debian keeps each package's licence and changes under doc/<package>/.
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/vardometer)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION ${doc_dir})
set(changelog_gz ${PROJECT_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${changelog_gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/packaging
    COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/packaging/changelog > ${changelog_gz}
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog
    VERBATIM)
add_custom_target(vardometer_changelog ALL DEPENDS ${changelog_gz})
install(FILES ${changelog_gz} DESTINATION ${doc_dir})
