// The network layer's own packets: writers and bounds-checked readers.
#include "host/NetWire.h"

#include <cstring>

namespace host::netwire {

namespace {

class Writer {
public:
    explicit Writer(Bytes* out) : out_(out) { out_->clear(); }
    void U8(uint8_t v) { out_->push_back(v); }
    void U16(uint16_t v) {
        U8(static_cast<uint8_t>(v));
        U8(static_cast<uint8_t>(v >> 8));
    }
    void U32(uint32_t v) {
        for (int i = 0; i < 4; ++i) U8(static_cast<uint8_t>(v >> (8 * i)));
    }
    void Raw(const uint8_t* p, size_t n) {
        if (n == 0) return;
        const size_t at = out_->size();
        out_->resize(at + n);
        memcpy(out_->data() + at, p, n);
    }
    // A text: one byte of length (at most kNetNameSize - 1), then its characters.
    void Text(const char* text) {
        size_t n = strnlen(text, kNetNameSize - 1);
        U8(static_cast<uint8_t>(n));
        Raw(reinterpret_cast<const uint8_t*>(text), n);
    }
    // A block of bytes: two bytes of length, then the bytes (at most cap).
    void Block(const uint8_t* p, uint16_t n, size_t cap) {
        if (n > cap) n = static_cast<uint16_t>(cap);
        U16(n);
        Raw(p, n);
    }

private:
    Bytes* out_;
};

class Reader {
public:
    Reader(const uint8_t* p, size_t n) : p_(p), left_(n) {}
    bool ok() const { return ok_; }
    // True when every byte was read and nothing failed.
    bool done() const { return ok_ && left_ == 0; }
    uint8_t U8() {
        if (!Need(1)) return 0;
        --left_;
        return *p_++;
    }
    uint16_t U16() {
        uint16_t lo = U8();
        return static_cast<uint16_t>(lo | U8() << 8);
    }
    uint32_t U32() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(U8()) << (8 * i);
        return v;
    }
    void Raw(uint8_t* out, size_t n) {
        if (!Need(n)) return;
        memcpy(out, p_, n);
        p_ += n;
        left_ -= n;
    }
    void Text(char* out) {
        out[0] = 0;
        size_t n = U8();
        if (n > kNetNameSize - 1) ok_ = false;
        if (!Need(n)) return;
        memcpy(out, p_, n);
        out[n] = 0;
        p_ += n;
        left_ -= n;
    }
    void Block(uint8_t* out, uint16_t* size, size_t cap) {
        *size = 0;
        uint16_t n = U16();
        if (n > cap) ok_ = false;
        if (!Need(n)) return;
        memcpy(out, p_, n);
        *size = n;
        p_ += n;
        left_ -= n;
    }

private:
    bool Need(size_t n) {
        if (!ok_ || left_ < n) ok_ = false;
        return ok_;
    }
    const uint8_t* p_;
    size_t left_;
    bool ok_ = true;
};

void Lead(Writer& w, SearchKind kind) {
    w.Raw(kSearchMagic, sizeof kSearchMagic);
    w.U8(static_cast<uint8_t>(kind));
}

bool ReadLead(Reader& r, SearchKind kind) {
    uint8_t magic[4];
    r.Raw(magic, 4);
    return r.ok() && memcmp(magic, kSearchMagic, 4) == 0 && r.U8() == static_cast<uint8_t>(kind) && r.ok();
}

bool ReadKind(Reader& r, Kind kind) { return r.U8() == static_cast<uint8_t>(kind) && r.ok(); }

}  // namespace

void Encode(const SearchRequest& p, Bytes* out) {
    Writer w(out);
    Lead(w, SearchKind::Request);
    w.U32(p.version);
    w.Raw(p.application, 16);
    w.U32(p.nonce);
}

void Encode(const SearchAnswer& p, Bytes* out) {
    Writer w(out);
    Lead(w, SearchKind::Answer);
    w.U32(p.version);
    w.Raw(p.application, 16);
    w.U32(p.nonce);
    w.Raw(p.instance, 16);
    w.U32(p.maxPlayers);
    w.U32(p.players);
    w.Text(p.name);
    w.Block(p.data, p.dataSize, sizeof p.data);
}

void Encode(const Hello& p, Bytes* out) {
    Writer w(out);
    w.U8(static_cast<uint8_t>(Kind::Hello));
    w.U32(p.version);
    w.Raw(p.application, 16);
    w.Text(p.name);
    w.Block(p.data, p.dataSize, sizeof p.data);
    w.Text(p.password);
}

void Encode(const Welcome& p, Bytes* out) {
    Writer w(out);
    w.U8(static_cast<uint8_t>(Kind::Welcome));
    w.U32(p.yourId);
    w.U32(p.hostId);
    w.U32(p.nextId);
    w.Raw(p.instance, 16);
    w.U32(p.maxPlayers);
    w.Text(p.sessionName);
    w.Block(p.sessionData, p.sessionDataSize, sizeof p.sessionData);
    w.Text(p.hostName);
    w.Block(p.hostData, p.hostDataSize, sizeof p.hostData);
    w.U32(p.players);
}

void Encode(const Announce& p, Bytes* out) {
    Writer w(out);
    w.U8(static_cast<uint8_t>(Kind::Announce));
    w.U32(p.id);
    w.U32(p.ip);
    w.U16(p.port);
    w.Text(p.name);
    w.Block(p.data, p.dataSize, sizeof p.data);
    w.U32(p.nextId);
}

void Encode(const MeshHello& p, Bytes* out) {
    Writer w(out);
    w.U8(static_cast<uint8_t>(Kind::MeshHello));
    w.U32(p.version);
    w.Raw(p.application, 16);
    w.Raw(p.instance, 16);
    w.U32(p.id);
}

void Encode(const MeshAccept& p, Bytes* out) {
    Writer w(out);
    w.U8(static_cast<uint8_t>(Kind::MeshAccept));
    w.U32(p.id);
}

void Encode(const PlayerGone& p, Bytes* out) {
    Writer w(out);
    w.U8(static_cast<uint8_t>(Kind::PlayerGone));
    w.U32(p.id);
}

bool IsSearchDatagram(const uint8_t* data, size_t size) {
    return size > sizeof kSearchMagic && memcmp(data, kSearchMagic, sizeof kSearchMagic) == 0;
}

bool Decode(const uint8_t* data, size_t size, SearchRequest* out) {
    Reader r(data, size);
    if (!ReadLead(r, SearchKind::Request)) return false;
    out->version = r.U32();
    r.Raw(out->application, 16);
    out->nonce = r.U32();
    return r.done();
}

bool Decode(const uint8_t* data, size_t size, SearchAnswer* out) {
    Reader r(data, size);
    if (!ReadLead(r, SearchKind::Answer)) return false;
    out->version = r.U32();
    r.Raw(out->application, 16);
    out->nonce = r.U32();
    r.Raw(out->instance, 16);
    out->maxPlayers = r.U32();
    out->players = r.U32();
    r.Text(out->name);
    r.Block(out->data, &out->dataSize, sizeof out->data);
    return r.done();
}

bool Decode(const uint8_t* data, size_t size, Hello* out) {
    Reader r(data, size);
    if (!ReadKind(r, Kind::Hello)) return false;
    out->version = r.U32();
    r.Raw(out->application, 16);
    r.Text(out->name);
    r.Block(out->data, &out->dataSize, sizeof out->data);
    r.Text(out->password);
    return r.done();
}

bool Decode(const uint8_t* data, size_t size, Welcome* out) {
    Reader r(data, size);
    if (!ReadKind(r, Kind::Welcome)) return false;
    out->yourId = r.U32();
    out->hostId = r.U32();
    out->nextId = r.U32();
    r.Raw(out->instance, 16);
    out->maxPlayers = r.U32();
    r.Text(out->sessionName);
    r.Block(out->sessionData, &out->sessionDataSize, sizeof out->sessionData);
    r.Text(out->hostName);
    r.Block(out->hostData, &out->hostDataSize, sizeof out->hostData);
    out->players = r.U32();
    return r.done();
}

bool Decode(const uint8_t* data, size_t size, Announce* out) {
    Reader r(data, size);
    if (!ReadKind(r, Kind::Announce)) return false;
    out->id = r.U32();
    out->ip = r.U32();
    out->port = r.U16();
    r.Text(out->name);
    r.Block(out->data, &out->dataSize, sizeof out->data);
    out->nextId = r.U32();
    return r.done();
}

bool Decode(const uint8_t* data, size_t size, MeshHello* out) {
    Reader r(data, size);
    if (!ReadKind(r, Kind::MeshHello)) return false;
    out->version = r.U32();
    r.Raw(out->application, 16);
    r.Raw(out->instance, 16);
    out->id = r.U32();
    return r.done();
}

bool Decode(const uint8_t* data, size_t size, MeshAccept* out) {
    Reader r(data, size);
    if (!ReadKind(r, Kind::MeshAccept)) return false;
    out->id = r.U32();
    return r.done();
}

bool Decode(const uint8_t* data, size_t size, PlayerGone* out) {
    Reader r(data, size);
    if (!ReadKind(r, Kind::PlayerGone)) return false;
    out->id = r.U32();
    return r.done();
}

}  // namespace host::netwire
