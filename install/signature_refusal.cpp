#include "install/signature_refusal.h"

namespace {

// The codes by value: winerror.h and setupapi.h do not name all of them in
// every SDK the program is built with.
const DWORD kSignatureRefusals[] = {
    0xE000022F,  // ERROR_NO_CATALOG_FOR_OEM_INF: the INF names no catalog
    0xE0000241,  // ERROR_AUTHENTICODE_TRUST_NOT_ESTABLISHED
    0xE0000242,  // ERROR_AUTHENTICODE_PUBLISHER_NOT_TRUSTED
    0x800B0100,  // TRUST_E_NOSIGNATURE: the catalog is not signed
    0x800B0004,  // TRUST_E_SUBJECT_NOT_TRUSTED
    0x80096010,  // TRUST_E_BAD_DIGEST: a file differs from its catalog entry
    0x800B0109,  // CERT_E_UNTRUSTEDROOT
    0x800B0101,  // CERT_E_EXPIRED
};

}  // namespace

int IsSignatureRefusal(DWORD error) {
  for (DWORD refusal : kSignatureRefusals) {
    if (error == refusal) return 1;
  }
  return 0;
}
