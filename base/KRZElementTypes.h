// The five element types the transfers serve, listed once. X(type, Name) is expanded for each, in
// the order double, float, int, bool, char; Name is the type as member names spell it
// (m_pBufferDouble).
#ifndef KRZ3DCOMTOOLS_KRZELEMENTTYPES_H
#define KRZ3DCOMTOOLS_KRZELEMENTTYPES_H

#define KRZ_ELEMENT_TYPES(X)                                                                       \
  X(double, Double) X(float, Float) X(int, Int) X(bool, Bool) X(char, Char)

#endif
