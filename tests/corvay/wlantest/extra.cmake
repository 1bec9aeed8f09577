# The wireless service's event script runs the DHCP client and wlan-link programs of the program
# directory.
if(TARGET test_corvay_wlantest_WifiTest_netns_xvfb_test AND TARGET dhcp-client)
  add_dependencies(test_corvay_wlantest_WifiTest_netns_xvfb_test dhcp-client wlan-link)
endif()
if(TARGET test_corvay_wlantest_WifiSignal_netns_xvfb_test AND TARGET dhcp-client)
  add_dependencies(test_corvay_wlantest_WifiSignal_netns_xvfb_test dhcp-client wlan-link)
endif()
