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
    m_batch.reserve(kStrongBatch * kStrongChunk);
    m_batch.resize(kStrongHeader);
    std::copy(kStrongSignature.begin(), kStrongSignature.end(), m_batch.begin());
    crypto_secretstream_xchacha20poly1305_init_push(stateIn(m_state), m_batch.data() + kStrongSignature.size(),
                                                    key.data());
}

void StrongWriter::write(const unsigned char* data, std::size_t count)
{
    // Whole pieces with more after them go straight from the caller's bytes.
    while (m_held == 0 && count > kStrongPiece) {
        push(data, kStrongPiece, kTagMessage);
        data += kStrongPiece;
        count -= kStrongPiece;
    }
    while (count > 0) {
        // A full piece goes out only once more bytes come: the last piece is FINAL, and may be a full one.
        if (m_held == kStrongPiece) {
            push(m_piece.data(), m_held, kTagMessage);
            m_held = 0;
        }
        const std::size_t taken = std::min(count, kStrongPiece - m_held);
        std::memcpy(m_piece.data() + m_held, data, taken);
        m_held += taken;
        data += taken;
        count -= taken;
    }
}

void StrongWriter::finish()
{
    push(m_piece.data(), m_held, kTagFinal);
    m_held = 0;
    flush();
}

void StrongWriter::push(const unsigned char* piece, std::size_t count, unsigned char tag)
{
    if (m_batch.size() + count + kStrongChunkOverhead > m_batch.capacity())
        flush();
    const std::size_t at = m_batch.size();
    m_batch.resize(at + count + kStrongChunkOverhead);
    unsigned long long length = 0;
    crypto_secretstream_xchacha20poly1305_push(stateIn(m_state), m_batch.data() + at, &length, piece, count, nullptr, 0,
                                               tag);
}

void StrongWriter::flush()
{
    if (!m_batch.empty())
        m_out(m_batch.data(), m_batch.size());
    m_batch.clear();
}

StrongReader::StrongReader(const StrongKey& key, ByteOutput out)
    : m_key(key), m_out(std::move(out)), m_state(sizeof(State)), m_chunk(kStrongChunk)
{
    m_batch.reserve(kStrongBatch * kStrongPiece);
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
    // Whole chunks with bytes after them (so not the last) are read straight from the caller's bytes.
    while (m_chunkHeld == 0 && count > kStrongChunk) {
        pull(data, kStrongChunk, false);
        data += kStrongChunk;
        count -= kStrongChunk;
    }
    while (count > 0) {
        // A whole chunk with bytes after it is not the last.
        if (m_chunkHeld == kStrongChunk) {
            pull(m_chunk.data(), kStrongChunk, false);
            m_chunkHeld = 0;
        }
        const std::size_t taken = std::min(count, kStrongChunk - m_chunkHeld);
        std::memcpy(m_chunk.data() + m_chunkHeld, data, taken);
        m_chunkHeld += taken;
        data += taken;
        count -= taken;
    }
}

void StrongReader::finish()
{
    if (m_headerHeld < kStrongHeader || m_chunkHeld < kStrongChunkOverhead) {
        flush();
        throw EStrongMessageRefused();
    }
    pull(m_chunk.data(), m_chunkHeld, true);
    m_chunkHeld = 0;
    flush();
}

void StrongReader::pull(const unsigned char* chunk, std::size_t chunkSize, bool last)
{
    if (m_batch.size() + kStrongPiece > m_batch.capacity())
        flush();
    const std::size_t at = m_batch.size();
    m_batch.resize(at + chunkSize - kStrongChunkOverhead);
    unsigned long long length = 0;
    unsigned char tag = 0;
    if (crypto_secretstream_xchacha20poly1305_pull(stateIn(m_state), m_batch.data() + at, &length, &tag, chunk,
                                                   chunkSize, nullptr, 0) != 0 ||
        tag != (last ? kTagFinal : kTagMessage)) {
        // What was verified before goes on; nothing of this chunk does.
        m_batch.resize(at);
        flush();
        throw EStrongMessageRefused();
    }
}

void StrongReader::flush()
{
    if (!m_batch.empty())
        m_out(m_batch.data(), m_batch.size());
    m_batch.clear();
}

} // namespace qb
