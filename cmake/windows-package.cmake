# The Windows program's install tree; scripts/windows-package stages it with the DLLs and
# Qt plugins it loads, and packs it as the installer and the portable zip.
install(TARGETS zuduvor RUNTIME DESTINATION .)
