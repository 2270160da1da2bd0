#include "platform/x11/magnifier/compositor_capture_state.h"

#include <utility>

namespace kestrove::x11 {

bool CompositorCaptureState::chosen(bool sameMonitor) {
    if (sameMonitor && (awaitsAnswer() || takesFrames())) {
        return false;
    }
    m_stage = Idle{};
    return true;
}

void CompositorCaptureState::lookingFor() {
    if (failureTold()) {
        m_stage = Lost{};
    } else {
        m_stage = Idle{};
    }
}

void CompositorCaptureState::selected() {
    m_stage = Capturing{};
    if (everShown()) {
        m_upload = Upload::Idle; // the new output's frames need not wait for the old one's
    }
}

void CompositorCaptureState::asking() {
    m_stage = Asking{failureTold()};
}

void CompositorCaptureState::stillLost() {
    m_stage = Lost{};
}

bool CompositorCaptureState::unavailable(bool askedBefore) {
    m_noticeDue = m_noticeDue || !everShown() || askedBefore;
    return failed();
}

bool CompositorCaptureState::captureFailed() {
    m_noticeDue = m_noticeDue || (!everShown() && !failureTold());
    return failed();
}

bool CompositorCaptureState::unpaired(bool toldBefore) {
    if (toldBefore) {
        m_stage = Lost{};
        return false;
    }
    if (!failed()) {
        return false;
    }
    m_noticeDue = true;
    return true;
}

bool CompositorCaptureState::failed() {
    if (failureTold()) {
        return false;
    }
    if (auto* asking = std::get_if<Asking>(&m_stage)) {
        asking->failureTold = true;
    } else if (auto* capturing = std::get_if<Capturing>(&m_stage)) {
        capturing->stopped = true;
    } else {
        m_stage = Lost{};
    }
    return true;
}

bool CompositorCaptureState::waitsForOutputs() const {
    const auto* capturing = std::get_if<Capturing>(&m_stage);
    return std::holds_alternative<Lost>(m_stage) || (capturing != nullptr && capturing->stopped);
}

bool CompositorCaptureState::failureTold() const {
    if (const auto* asking = std::get_if<Asking>(&m_stage)) {
        return asking->failureTold;
    }
    if (const auto* capturing = std::get_if<Capturing>(&m_stage)) {
        return capturing->stopped;
    }
    return std::holds_alternative<Lost>(m_stage);
}

bool CompositorCaptureState::firstFrameTaken() {
    auto* capturing = std::get_if<Capturing>(&m_stage);
    return capturing != nullptr && std::exchange(capturing->firstFrameDue, false);
}

void CompositorCaptureState::uploading() {
    if (m_upload != Upload::ReadingRequestOwed) {
        m_upload = Upload::Reading;
    }
}

bool CompositorCaptureState::uploadRead() {
    if (m_upload == Upload::NothingShown) {
        return false;
    }
    return std::exchange(m_upload, Upload::Idle) == Upload::ReadingRequestOwed;
}

bool CompositorCaptureState::refresh() {
    if (m_upload == Upload::Reading || m_upload == Upload::ReadingRequestOwed) {
        m_upload = Upload::ReadingRequestOwed;
        return false;
    }
    const auto* capturing = std::get_if<Capturing>(&m_stage);
    return capturing != nullptr && !capturing->stopped;
}

bool CompositorCaptureState::takeNotice() {
    return std::exchange(m_noticeDue, false);
}

} // namespace kestrove::x11
