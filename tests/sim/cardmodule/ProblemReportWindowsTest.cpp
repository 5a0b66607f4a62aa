// A GUI program has no console: what the module says on standard error also goes to the debugger
// output and to the log file beside the card set.

#include "ModuleHarness.h"
#include "sim/cardmodule/module/ProblemReport.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>

using QuendrySim::SimEnvironment;

namespace
{
struct HandleCloser
{
    void operator()(HANDLE handle) const
    {
        if (handle)
            CloseHandle(handle);
    }
};
using Handle = std::unique_ptr<void, HandleCloser>;

// Listens on the debugger output as a debug viewer does: OutputDebugStringA writes into the
// shared buffer once it is free and signals that it holds a text.
class DebuggerOutput
{
public:
    DebuggerOutput()
        : m_buffer(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kSize,
                                      "DBWIN_BUFFER")),
          m_bufferReady(CreateEventA(nullptr, FALSE, FALSE, "DBWIN_BUFFER_READY")),
          m_dataReady(CreateEventA(nullptr, FALSE, FALSE, "DBWIN_DATA_READY")),
          m_view(m_buffer ? MapViewOfFile(m_buffer.get(), FILE_MAP_READ, 0, 0, kSize) : nullptr)
    {
        if (m_view && m_bufferReady && m_dataReady)
            m_thread = std::thread([this] { Listen(); });
    }
    ~DebuggerOutput()
    {
        m_stop = true;
        if (m_thread.joinable())
        {
            SetEvent(m_dataReady.get());
            m_thread.join();
        }
        if (m_view)
            UnmapViewOfFile(m_view);
    }
    DebuggerOutput(const DebuggerOutput&) = delete;
    DebuggerOutput& operator=(const DebuggerOutput&) = delete;

    bool Listening() const { return m_thread.joinable(); }

    // Waits, a bounded while, until a text holding part has come; all texts so far.
    std::string WaitFor(const std::string& part)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_arrived.wait_for(lock, std::chrono::seconds(30),
                           [&] { return m_texts.find(part) != std::string::npos; });
        return m_texts;
    }

private:
    static constexpr DWORD kSize = 4096;

    void Listen()
    {
        for (;;)
        {
            SetEvent(m_bufferReady.get());
            WaitForSingleObject(m_dataReady.get(), INFINITE);
            if (m_stop)
                return;
            // The writer's process id, then its text.
            const char* text = static_cast<const char*>(m_view) + sizeof(DWORD);
            std::lock_guard<std::mutex> lock(m_mutex);
            m_texts.append(text, strnlen(text, kSize - sizeof(DWORD)));
            m_arrived.notify_all();
        }
    }

    Handle m_buffer, m_bufferReady, m_dataReady;
    void* m_view;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::string m_texts;
    std::thread m_thread;
};

std::string FileText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}
} // namespace

TEST(SimProblemReport, CardSetThatCannotBeLoadedIsToldToDebuggerAndLogBesideIt)
{
    struct Row
    {
        const char* name;
        std::string cardSet;
        std::string reason;
    } const rows[] = {
        {"not JSON", "{ \"slots\": [ \"PIN 123456\" ", "cannot load the card set"},
        {"a gate in another folder",
         "{\"faults\": [{\"function\": \"C_Initialize\", \"gate\": \"sub/go\"}], \"slots\": []}",
         "must be a file name in the card set's folder"},
    };
    DebuggerOutput debugger;
    ASSERT_TRUE(debugger.Listening());
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.name);
        SimEnvironment env;
        ASSERT_TRUE(env.Ready());
        std::ofstream(env.CardSetPath(), std::ios::binary | std::ios::trunc) << row.cardSet;
        SimTest::LoadedModule module;
        ASSERT_TRUE(module.Load());
        EXPECT_EQ(CKR_GENERAL_ERROR, module.Initialize());

        const std::string said = debugger.WaitFor(env.CardSetPath() + ": ");
        const std::string logged =
            FileText(std::filesystem::path(env.Folder()) / QuendrySim::kProblemLogName);
        for (const std::string& text : {said, logged})
        {
            EXPECT_NE(std::string::npos, text.find("cannot load the card set " + env.CardSetPath()))
                << text;
            EXPECT_NE(std::string::npos, text.find(row.reason)) << text;
            EXPECT_EQ(std::string::npos, text.find("123456")) << "the file's content stays out";
        }
    }
}
