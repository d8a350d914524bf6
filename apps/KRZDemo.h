// krz3d demo: a gather and a scatter through CCOM_BroadTools, checked on every rank.
#ifndef KRZ_APPS_KRZDEMO_H
#define KRZ_APPS_KRZDEMO_H

#include "CKRZCom.h"

/// Rank function of the demo; prints what it moves and returns true when every value arrived.
bool KRZDemoTransfer(CKRZCom& com, int myid, int nproc);

#endif
