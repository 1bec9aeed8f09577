# The wireless service's event script runs the DHCP client and wlan-link programs of the program
# directory.
if(TARGET test_platform_wifi_WlanDaemon_netns_test AND TARGET dhcp-client)
  add_dependencies(test_platform_wifi_WlanDaemon_netns_test dhcp-client wlan-link)
endif()
