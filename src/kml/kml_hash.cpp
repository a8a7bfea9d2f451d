#include "kml/kml_hash.h"

#include <openssl/evp.h>

#include <array>
#include <cstdio>
#include <new>

namespace logwell::kml {
namespace {

// Each character of the salt is this character less its position in the text.
constexpr std::array<char, kSaltLength> kStoredSalt = {
    'L', 'n', 'e', 'h', '?', 'h', '_', 'f', 'W', 'l', 'V', 'h', 'c', 'e', 'W', 'b', 'T'};

}  // namespace

std::string KmlSalt() {
  std::string salt(kSaltLength, '\0');
  for (std::size_t i = 0; i < kSaltLength; ++i) {
    salt[i] = static_cast<char>(kStoredSalt[i] + static_cast<char>(i));
  }
  return salt;
}

struct KmlHash::Context {
  struct Deleter {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
  };
  std::unique_ptr<EVP_MD_CTX, Deleter> digest{EVP_MD_CTX_new()};
  bool ok = false;
};

KmlHash::KmlHash() : context_(std::make_unique<Context>()) {
  if (!context_->digest) throw std::bad_alloc();
  context_->ok = EVP_DigestInit_ex(context_->digest.get(), EVP_sha1(), nullptr) == 1;
  Update(KmlSalt());
}

KmlHash::~KmlHash() = default;

void KmlHash::Update(std::string_view text) {
  if (!context_->ok || text.empty()) return;
  context_->ok = EVP_DigestUpdate(context_->digest.get(), text.data(), text.size()) == 1;
}

std::string KmlHash::Finish() {
  std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
  unsigned int length = 0;
  const bool ok = context_->ok &&
                  EVP_DigestFinal_ex(context_->digest.get(), digest.data(), &length) == 1 &&
                  length == 20;
  context_->ok = false;
  // A digest that could not be computed matches no file: the signature is never confirmed.
  if (!ok) return std::string(kHashTextLength, '-');
  std::string text;
  text.reserve(kHashTextLength);
  for (unsigned int i = 0; i < length; ++i) {
    std::array<char, 3> hex{};
    std::snprintf(hex.data(), hex.size(), "%02X", digest[i]);
    text.append(hex.data(), 2);
  }
  return text;
}

}  // namespace logwell::kml
