#include "net/ContextBase.h"

#include "log/CypherLog.h"
#include "log/HttpLogName.h"
#include "net/HttpLogRecord.h"
#include "net/NetTransport.h"
#include "platform/Error.h"

namespace NetEx {

CContextBase::CContextBase() = default;

CContextBase::~CContextBase() {
    // The derived context has closed its requests already.
    if (connection_ != 0)
        plat::CloseInternetHandle(connection_);
}

void CContextBase::Close() {
    if (connection_ == 0)
        return;
    {
        CHttpLogRecord record(log_.get(), "Destroying context");
        record.Fill();
    }
    plat::CloseInternetHandle(connection_);
    connection_ = 0;
    connected_ = false;
    log_.reset();
}

void CContextBase::Attach(CNetClient* client, CNetTransportBase* transport) {
    client_ = client;
    transport_ = transport;
    logName_ = httplog::MakeLogName(name_, static_cast<int>(id_));
}

bool CContextBase::CertificateWaiversAllowed() const {
    return transport_ != nullptr && transport_->CertificateWaiversAllowed();
}

std::uint32_t CContextBase::OpenLog(const HttpLogSettings& settings, std::uint32_t processId,
                                    const LogClockValue& clock) {
    if (log_)
        return plat::kErrAlreadyExists;
    const std::string path = settings.folder + httplog::MakeLogFileName(processId, logName_);
    log_ = std::make_unique<CCypherLog>();
    bool opened = settings.key.Empty() ? log_->Open(path)
                                       : log_->OpenSecure(path, settings.key.Data(),
                                                          settings.key.Size(), settings.openSize);
    if (!opened) {
        std::uint32_t code = plat::GetLastError();
        log_.reset();
        return code != 0 ? code : plat::kErrInvalidFunction;
    }
    log_->SetMaxBlock(settings.bufferSize);
    log_->SetFlushAfterSection(settings.flushEachRecord);
    debugRecords_ = settings.debugRecords;
    ApplyLogClock(clock);
    log_->WriteByteOrderMarkIfNew();
    return 0;
}

void CContextBase::ApplyLogClock(const LogClockValue& clock) {
    if (log_ && clock.set)
        log_->SetClock(clock.offsetMs, clock.zoneSeconds);
}

bool CContextBase::Connect(plat::HINTERNET internet, std::uint32_t* error) {
    connection_ = plat::ConnectServer(internet, url_.Host(), url_.Port(), url_.User(),
                                      url_.Password(), plat::INTERNET_FLAG_EXISTING_CONNECT, 0);
    if (connection_ == 0) {
        *error = plat::GetLastError();
        WriteErrorText(log_.get(), *error);
        return false;
    }
    connected_ = true;
    return true;
}

void CContextBase::SetForwarders(ByteForwarder sent, ByteForwarder received) {
    sentForwarder_ = sent;
    receivedForwarder_ = received;
}

void CContextBase::CountSent(std::uint64_t bytes) {
    bytesSent_ += bytes;
    if (sentForwarder_.add)
        sentForwarder_.add(sentForwarder_.object, bytes);
}

void CContextBase::CountReceived(std::uint64_t bytes) {
    bytesReceived_ += bytes;
    if (receivedForwarder_.add)
        receivedForwarder_.add(receivedForwarder_.object, bytes);
}

} // namespace NetEx
