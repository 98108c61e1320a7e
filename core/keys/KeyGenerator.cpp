#include "KeyGenerator.h"

#include <sodium.h>

namespace qb {

SecretBytes generateKey()
{
    startSodium();
    SecretBytes key(kGeneratedKeyLength);
    for (unsigned char& byte : key)
        byte = static_cast<unsigned char>(randombytes_uniform(kKeyValueRange));
    return key;
}

} // namespace qb
