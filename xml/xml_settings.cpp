#include "xml/xml_settings.h"

namespace sx {

TXMLSettings& XMLSettings() {
  static TXMLSettings settings;
  return settings;
}

}  // namespace sx
