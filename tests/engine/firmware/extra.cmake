# The firmware database tests run the creation command.
if(TARGET test_engine_firmware_FirmwareDB_test AND TARGET create-firmware-db)
  add_dependencies(test_engine_firmware_FirmwareDB_test create-firmware-db)
endif()
