#include "state/Processor.h"

namespace fx {

Processor::Processor() : m_ownLink(std::make_unique<fx::Link>()), m_link(*m_ownLink) {
    m_store.AttachTo(m_link);
    m_link.SetOwner(this);
}

Processor::Processor(AdoptDefaultLink) : m_link(DefaultLink()) {
    m_store.AttachTo(m_link);
    m_link.SetOwner(this);
}

Processor::~Processor() {
    ProcessorScope scope(*this);
    m_link.Shutdown();
    m_jobThreads.JoinAll();
    m_link.SetOwner(nullptr);
    m_link.SetReplySink(nullptr);
    m_link.UseFlags(nullptr);
}

Processor& Processor::Default() {
    // Never destroyed, like the default link it works over.
    static Processor* const processor = new Processor(AdoptDefaultLink{});
    return *processor;
}

Processor& CurrentProcessor() {
    Link& link = CurrentLink();
    if (void* owner = link.Owner()) return *static_cast<Processor*>(owner);
    return Processor::Default();
}

} // namespace fx
