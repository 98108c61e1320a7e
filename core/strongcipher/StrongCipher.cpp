#include "StrongCipher.h"

#include <algorithm>
#include <cstring>

namespace qb {

namespace {

using State = crypto_secretstream_xchacha20poly1305_state;
constexpr std::string_view kKeyContext = "Quillbox 97 strong v1";
constexpr unsigned char kTagMessage = crypto_secretstream_xchacha20poly1305_TAG_MESSAGE;
constexpr unsigned char kTagFinal = crypto_secretstream_xchacha20poly1305_TAG_FINAL;

State* stateIn(SecretBytes& bytes)
{
    return reinterpret_cast<State*>(bytes.data());
}

} // namespace

std::uint64_t strongMessageSize(std::uint64_t plaintextSize)
{
    const std::uint64_t chunks = plaintextSize == 0 ? 1 : (plaintextSize + kStrongPiece - 1) / kStrongPiece;
    return kStrongHeader + plaintextSize + chunks * kStrongChunkOverhead;
}

bool isStrongMessage(std::string_view bytes)
{
    return bytes.size() >= kStrongSignature.size() &&
           std::memcmp(bytes.data(), kStrongSignature.data(), kStrongSignature.size()) == 0;
}

StrongKey::StrongKey()
    : m_state(sizeof(crypto_generichash_state)), m_key(crypto_secretstream_xchacha20poly1305_KEYBYTES)
{
    auto* state = reinterpret_cast<crypto_generichash_state*>(m_state.data());
    crypto_generichash_init(state, nullptr, 0, m_key.size());
    crypto_generichash_update(state, reinterpret_cast<const unsigned char*>(kKeyContext.data()), kKeyContext.size());
}

void StrongKey::add(std::string_view usableKeyBytes)
{
    m_length += usableKeyBytes.size();
    crypto_generichash_update(reinterpret_cast<crypto_generichash_state*>(m_state.data()),
                              reinterpret_cast<const unsigned char*>(usableKeyBytes.data()), usableKeyBytes.size());
}

void StrongKey::finish()
{
    crypto_generichash_final(reinterpret_cast<crypto_generichash_state*>(m_state.data()), m_key.data(), m_key.size());
    m_state = SecretBytes();
}

StrongWriter::StrongWriter(const StrongKey& key, ByteOutput out)
    : m_out(std::move(out)), m_state(sizeof(State)), m_piece(kStrongPiece)
{
    std::array<unsigned char, kStrongHeader> header;
    std::copy(kStrongSignature.begin(), kStrongSignature.end(), header.begin());
    crypto_secretstream_xchacha20poly1305_init_push(stateIn(m_state), header.data() + kStrongSignature.size(),
                                                    key.data());
    m_out(header.data(), header.size());
}

void StrongWriter::write(const unsigned char* data, std::size_t count)
{
    while (count > 0) {
        // A full piece goes out only once more bytes come: the last piece is FINAL, and may be a full one.
        if (m_held == kStrongPiece)
            push(kTagMessage);
        const std::size_t taken = std::min(count, kStrongPiece - m_held);
        std::memcpy(m_piece.data() + m_held, data, taken);
        m_held += taken;
        data += taken;
        count -= taken;
    }
}

void StrongWriter::finish()
{
    push(kTagFinal);
}

void StrongWriter::push(unsigned char tag)
{
    unsigned long long length = 0;
    crypto_secretstream_xchacha20poly1305_push(stateIn(m_state), m_chunk.data(), &length, m_piece.data(), m_held,
                                               nullptr, 0, tag);
    m_held = 0;
    m_out(m_chunk.data(), static_cast<std::size_t>(length));
}

StrongReader::StrongReader(const StrongKey& key, ByteOutput out)
    : m_key(key), m_out(std::move(out)), m_state(sizeof(State)), m_piece(kStrongPiece)
{
}

void StrongReader::read(const unsigned char* data, std::size_t count)
{
    if (m_headerHeld < kStrongHeader) {
        const std::size_t taken = std::min(count, kStrongHeader - m_headerHeld);
        std::memcpy(m_header.data() + m_headerHeld, data, taken);
        m_headerHeld += taken;
        data += taken;
        count -= taken;
        if (m_headerHeld < kStrongHeader)
            return;
        if (!std::equal(kStrongSignature.begin(), kStrongSignature.end(), m_header.begin()) ||
            crypto_secretstream_xchacha20poly1305_init_pull(stateIn(m_state), m_header.data() + kStrongSignature.size(),
                                                            m_key.data()) != 0)
            throw EStrongMessageRefused();
    }
    while (count > 0) {
        // A whole chunk with bytes after it is not the last.
        if (m_chunkHeld == kStrongChunk)
            pull(kStrongChunk, false);
        const std::size_t taken = std::min(count, kStrongChunk - m_chunkHeld);
        std::memcpy(m_chunk.data() + m_chunkHeld, data, taken);
        m_chunkHeld += taken;
        data += taken;
        count -= taken;
    }
}

void StrongReader::finish()
{
    if (m_headerHeld < kStrongHeader || m_chunkHeld < kStrongChunkOverhead)
        throw EStrongMessageRefused();
    pull(m_chunkHeld, true);
}

void StrongReader::pull(std::size_t chunkSize, bool last)
{
    unsigned long long length = 0;
    unsigned char tag = 0;
    if (crypto_secretstream_xchacha20poly1305_pull(stateIn(m_state), m_piece.data(), &length, &tag, m_chunk.data(),
                                                   chunkSize, nullptr, 0) != 0 ||
        tag != (last ? kTagFinal : kTagMessage))
        throw EStrongMessageRefused();
    m_chunkHeld = 0;
    m_out(m_piece.data(), static_cast<std::size_t>(length));
}

} // namespace qb
