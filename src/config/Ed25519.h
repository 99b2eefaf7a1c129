#pragma once
// Ed25519 signatures on OpenSSL: a publisher's key pair made and kept as
// text, detached signatures over exact bytes, and their verification with
// the public key a distribution carries. Free functions; any thread.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace config {

using Ed25519PublicKey = std::array<std::uint8_t, 32>;
using Ed25519PrivateKey = std::array<std::uint8_t, 32>; // the seed
using Ed25519Signature = std::array<std::uint8_t, 64>;

// A new key pair from the system's random source.
bool GenerateEd25519(Ed25519PrivateKey* privateKey, Ed25519PublicKey* publicKey);
// The public half of a private key.
bool Ed25519PublicOf(const Ed25519PrivateKey& privateKey, Ed25519PublicKey* publicKey);
bool SignEd25519(const Ed25519PrivateKey& privateKey, std::string_view message,
                 Ed25519Signature* signature);
// True only for a signature the key made over exactly these bytes.
bool VerifyEd25519(const Ed25519PublicKey& publicKey, std::string_view message,
                   const Ed25519Signature& signature);

// The key file a publisher keeps: one line "ed25519-private-key <64 hex
// digits>". Parsing takes that line with or without a line end, nothing else.
std::string PrivateKeyFileText(const Ed25519PrivateKey& privateKey);
bool ParsePrivateKeyFile(std::string_view text, Ed25519PrivateKey* privateKey);

} // namespace config
