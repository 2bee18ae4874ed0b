// Owning holders for OpenSSL objects: std::unique_ptr with OpenSSL's own free
// functions as deleters, so every path through the verifier releases what it
// made and nothing is freed with delete or free().
#pragma once

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pkcs7.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>

#include <memory>

namespace ossl {

template <typename T, void (*Free)(T*)>
struct Deleter {
  void operator()(T* p) const {
    if (p) Free(p);
  }
};

// BIO_free returns int; wrap it to fit the deleter's signature.
inline void bioFree(BIO* b) { BIO_free(b); }
// A certificate list that owns its entries.
inline void x509StackFree(STACK_OF(X509) * s) { sk_X509_pop_free(s, X509_free); }
// A certificate list that borrows its entries (PKCS7_get0_signers).
inline void x509StackFreeShallow(STACK_OF(X509) * s) { sk_X509_free(s); }

using BioPtr = std::unique_ptr<BIO, Deleter<BIO, bioFree>>;
using X509Ptr = std::unique_ptr<X509, Deleter<X509, X509_free>>;
using X509CrlPtr = std::unique_ptr<X509_CRL, Deleter<X509_CRL, X509_CRL_free>>;
using X509StorePtr = std::unique_ptr<X509_STORE, Deleter<X509_STORE, X509_STORE_free>>;
using X509StoreCtxPtr = std::unique_ptr<X509_STORE_CTX, Deleter<X509_STORE_CTX, X509_STORE_CTX_free>>;
using X509StackPtr = std::unique_ptr<STACK_OF(X509), Deleter<STACK_OF(X509), x509StackFree>>;
using X509StackRefPtr = std::unique_ptr<STACK_OF(X509), Deleter<STACK_OF(X509), x509StackFreeShallow>>;
using Pkcs7Ptr = std::unique_ptr<PKCS7, Deleter<PKCS7, PKCS7_free>>;
using EvpPkeyPtr = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY, EVP_PKEY_free>>;

}  // namespace ossl
