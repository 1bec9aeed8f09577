# The wireless service's event script runs the DHCP client and wlan-link programs.
if(TARGET test_bench_AirPeer_netns_test AND TARGET dhcp-client)
  add_dependencies(test_bench_AirPeer_netns_test dhcp-client wlan-link)
endif()
