#pragma once
// The publish password in the desktop's secret store (QtKeychain: the Secret Service,
// KWallet, the macOS keychain, the Windows credential store), never in the settings file.
// Each call waits for the store in a local event loop.

#include <QString>

namespace tessera {

class CPasswordStore {
public:
    // The entry of `user` at `host`.
    CPasswordStore(const QString& user, const QString& host);

    enum class Result { Ok, NotFound, Unavailable };
    // Unavailable: no store runs (or it refused); Problem() says what it said.
    Result Read(QString& password);
    Result Write(const QString& password);
    Result Forget();
    const QString& Problem() const { return m_problem; }

private:
    QString m_key;
    QString m_problem;
};

} // namespace tessera
