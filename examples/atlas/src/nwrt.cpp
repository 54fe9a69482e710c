// nwrt.dll: the Northwind runtime that several Northwind products install as a shared library
// (counted under SharedDLLs). A small real library: the map projection the products share.
#include <cmath>

extern "C" __attribute__((visibility("default"))) double NwMercatorY(double latitudeDegrees) {
  const double pi = 3.14159265358979323846;
  return std::log(std::tan(pi / 4 + latitudeDegrees * pi / 360));
}
