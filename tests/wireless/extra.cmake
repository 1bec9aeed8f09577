# The wireless service's event script starts the DHCP client program of the program directory.
if(TARGET test_wireless_WlanConfiger_netns_test AND TARGET dhcp-client)
  add_dependencies(test_wireless_WlanConfiger_netns_test dhcp-client)
endif()
