#include "platform/env.h"

namespace {
CEnv* g_current = nullptr;
}  // namespace

CEnv& Env() { return g_current ? *g_current : *CEnv::Default(); }

CScopedEnv::CScopedEnv(CEnv* env) : m_previous(g_current) { g_current = env; }
CScopedEnv::~CScopedEnv() { g_current = m_previous; }
