// What the item phases (registry, INI, shortcuts, servers, fonts) share: the per-item plug-in
// events, the error box of a failed item, and the container in which a component's texts are
// expanded.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace sx {

class TXMLObject;
class TsxComponent;
class TsxMainDatabase;

// EV_BEFOREPROCESSITEM with the kind in the high word and the item record: true when a plug-in
// answered non-zero (first non-zero reply wins), which takes the item over.
bool ItemVetoed(int kind, const void* record);
// EV_AFTERPROCESSITEM to every plug-in.
void ItemDone(int kind, const void* record);

// An error box titled "Error" with the error icon, owned by the plug-ins' active window.
void ShowItemError(std::string_view text);
// The format with its one "%s" replaced by the argument.
std::string FormatMessage(std::string_view format, std::string_view argument);

// The package that describes the component (its Package names the package's FileName), else the
// project root: the container for expanding the component's texts.
TXMLObject* ComponentContainer(TsxMainDatabase& database, const TsxComponent& component);

}  // namespace sx
