#pragma once
// The kernel tables behind CFunction (neighbours, routes, links), read and changed over netlink.

#include <cstdint>

struct NetCardDataSendRecvStruct;
class CString;

namespace dunmore {

// Deletes the learnt neighbour entries of every interface that has some; permanent ones stay.
void FlushArpCache();
// Outgoing interface towards an address (network byte order); 0xFFFFFFFF when none.
unsigned long BestInterface(uint32_t address);
// Up to 'capacity' rows of the interface table, appending a readable dump to 'dump'.
int ReadInterfaceTable(NetCardDataSendRecvStruct* rows, int capacity, CString& dump);

} // namespace dunmore
