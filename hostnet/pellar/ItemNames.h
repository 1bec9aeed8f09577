#pragma once
// The item names of the library's queries and results.

#include "hostnet/Export.h"

namespace pellar {

// Properties of Win32_NetworkAdapter kept per card.
constexpr int kNetAdapterItemCount = 21;
HOSTNET_API extern const char* const NetAdapterItems[kNetAdapterItemCount];
// Properties asked of Win32_NetworkAdapterConfiguration; the last three are filled by the inventory.
constexpr int kNetConfigItemCount = 28;
HOSTNET_API extern const char* const NetConfigItems[kNetConfigItemCount];
// Items kept per card: the adapter's, then the configuration's.
constexpr int kCardItemCount = kNetAdapterItemCount + kNetConfigItemCount;

// Every item name of the library: 0-48 a card's items, 49-72 the host settings' items, 73-85
// the items of a card's result (NetCardRecord).
constexpr int kItemNameCount = 86;
HOSTNET_API extern const char* const ItemNameTable[kItemNameCount];
constexpr int kCardOutputFirst = 73;
constexpr int kCardOutputCount = 13; // texts per card in the inventory's result

// The position of an item among a card's items, or -1.
HOSTNET_API int CardItemIndex(const char* name);

} // namespace pellar
