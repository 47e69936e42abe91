// What sources tell their applications: recorded as it arrives, queued for
// the application, its loop woken, and handed over by MSG_PROCESSEVENT.
#include "dsm/dsm_support.h"
#include "support/window_list.h"

#include <atomic>
#include <thread>

namespace {

using namespace qx;

class Notifications : public DsmTest {
protected:
    // A DG_CONTROL / DAT_NULL call as the source makes it.
    TW_UINT16 Notify(TW_IDENTITY *source, TW_IDENTITY *app, TW_UINT16 message) {
        return Dsm(source, app, DG_CONTROL, DAT_NULL, message, nullptr);
    }
    TW_UINT16 ProcessEvent(TW_IDENTITY *app, TW_IDENTITY *source, MSG *message,
                           TW_UINT16 *twMessage) {
        TW_EVENT event = {message, 0xBEEF};
        TW_UINT16 result = Dsm(app, source, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event);
        *twMessage = event.TWMessage;
        return result;
    }
    // An application with its window, and the source it opened.
    void OpenQuorvexWithWindow(HWND *window, TW_IDENTITY *app, TW_IDENTITY *source) {
        *window = CreateAppWindow();
        *app = OpenApplication(*window);
        *source = OpenQuorvex(app);
        ASSERT_NE(source->Id, 0u);
    }
    // The same, the source enabled.
    void EnableQuorvex(bool showUI, HWND *window, TW_IDENTITY *app, TW_IDENTITY *source) {
        ASSERT_NO_FATAL_FAILURE(OpenQuorvexWithWindow(window, app, source));
        ASSERT_EQ(Enable(app, source, showUI, *window), TWRC_SUCCESS);
    }
    // The wake-up waiting in this thread's queue for window (or, with
    // HWND(-1), for the thread itself).
    bool TakeWakeUp(HWND window, MSG *message) {
        return PeekMessageA(message, window, WakeMessage(), WakeMessage(), PM_REMOVE) != 0;
    }
};

TEST_F(Notifications, RecordedEvenWithoutAnApplication) {
    TW_IDENTITY source = OpenedSourceIdentity(31);
    TW_IDENTITY app = AppIdentity(32);
    // Nobody to deliver to: refused, but on the record all the same.
    EXPECT_EQ(Notify(&source, &app, MSG_XFERREADY), TWRC_FAILURE);
    EXPECT_EQ(DsmStatus(&app), TWCC_BADDEST);
    EXPECT_EQ(Notify(&source, &app, MSG_CLOSEDSREQ), TWRC_FAILURE);
    std::vector<Notification> record = qx::Notifications();
    ASSERT_EQ(record.size(), 2u);
    EXPECT_EQ(memcmp(&record[0].origin, &source, sizeof source), 0);
    EXPECT_EQ(memcmp(&record[0].destination, &app, sizeof app), 0);
    EXPECT_EQ(record[0].message, MSG_XFERREADY);
    EXPECT_EQ(record[1].message, MSG_CLOSEDSREQ);
    // Only notifications are recorded, and the record can be emptied.
    TW_IDENTITY listed = {};
    Dsm(&app, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &listed);
    EXPECT_EQ(qx::Notifications().size(), 2u);
    ClearNotifications();
    EXPECT_TRUE(qx::Notifications().empty());
}

TEST_F(Notifications, DeliveredAtTheNextProcessEventAfterAWakeUpToTheWindow) {
    HWND window;
    TW_IDENTITY app, source;
    ASSERT_NO_FATAL_FAILURE(OpenQuorvexWithWindow(&window, &app, &source));

    EXPECT_EQ(Notify(&source, &app, MSG_XFERREADY), TWRC_SUCCESS);
    std::vector<Notification> record = qx::Notifications();
    ASSERT_EQ(record.size(), 1u);
    EXPECT_EQ(record[0].origin.Id, source.Id);
    EXPECT_EQ(record[0].destination.Id, app.Id);
    EXPECT_EQ(record[0].message, MSG_XFERREADY);

    MSG wake;
    ASSERT_TRUE(TakeWakeUp(window, &wake)) << "the application's window was not woken";
    EXPECT_EQ(wake.hwnd, window);
    TW_UINT16 twMessage;
    EXPECT_EQ(ProcessEvent(&app, &source, &wake, &twMessage), TWRC_DSEVENT);
    EXPECT_EQ(twMessage, MSG_XFERREADY);
    // Handed over once.
    EXPECT_EQ(ProcessEvent(&app, &source, &wake, &twMessage), TWRC_DSEVENT);
    EXPECT_EQ(twMessage, MSG_NULL) << "a spent wake-up is the Source Manager's, nothing more";
    MSG other = MessageFor(window, WM_USER + 5);
    EXPECT_EQ(ProcessEvent(&app, &source, &other, &twMessage), TWRC_NOTDSEVENT);
    EXPECT_EQ(twMessage, 0xBEEF) << "left alone when there is nothing to tell";
}

TEST_F(Notifications, DeliveredWithAnyMessageInTheOrderSent) {
    HWND window;
    TW_IDENTITY app, source;
    ASSERT_NO_FATAL_FAILURE(OpenQuorvexWithWindow(&window, &app, &source));
    EXPECT_EQ(Notify(&source, &app, MSG_XFERREADY), TWRC_SUCCESS);
    EXPECT_EQ(Notify(&source, &app, MSG_CLOSEDSREQ), TWRC_SUCCESS);
    MSG anything = MessageFor(window, WM_USER + 1);
    TW_UINT16 twMessage;
    EXPECT_EQ(ProcessEvent(&app, &source, &anything, &twMessage), TWRC_DSEVENT);
    EXPECT_EQ(twMessage, MSG_XFERREADY);
    EXPECT_EQ(ProcessEvent(&app, &source, &anything, &twMessage), TWRC_DSEVENT);
    EXPECT_EQ(twMessage, MSG_CLOSEDSREQ);
    EXPECT_EQ(ProcessEvent(&app, &source, &anything, &twMessage), TWRC_NOTDSEVENT);
    // One wake-up per notification.
    MSG wake;
    EXPECT_TRUE(TakeWakeUp(window, &wake));
    EXPECT_TRUE(TakeWakeUp(window, &wake));
    EXPECT_FALSE(TakeWakeUp(window, &wake));
}

TEST_F(Notifications, WithoutAWindowTheOpeningThreadIsWoken) {
    TW_IDENTITY app = OpenApplication(nullptr);
    TW_IDENTITY source = OpenQuorvex(&app);
    ASSERT_NE(source.Id, 0u);
    EXPECT_EQ(Notify(&source, &app, MSG_CLOSEDSREQ), TWRC_SUCCESS);
    MSG wake;
    ASSERT_TRUE(TakeWakeUp(reinterpret_cast<HWND>(-1), &wake)) << "no thread message";
    EXPECT_EQ(wake.hwnd, nullptr);
    TW_UINT16 twMessage;
    EXPECT_EQ(ProcessEvent(&app, &source, &wake, &twMessage), TWRC_DSEVENT);
    EXPECT_EQ(twMessage, MSG_CLOSEDSREQ);
}

TEST_F(Notifications, ANotificationFromAnotherThreadWakesTheApplicationsThread) {
    TW_IDENTITY app = OpenApplication(nullptr);
    TW_IDENTITY source = OpenQuorvex(&app);
    ASSERT_NE(source.Id, 0u);
    std::thread sender([&] { EXPECT_EQ(Notify(&source, &app, MSG_XFERREADY), TWRC_SUCCESS); });
    sender.join();
    MSG wake;
    ASSERT_TRUE(TakeWakeUp(reinterpret_cast<HWND>(-1), &wake));
    TW_UINT16 twMessage;
    EXPECT_EQ(ProcessEvent(&app, &source, &wake, &twMessage), TWRC_DSEVENT);
    EXPECT_EQ(twMessage, MSG_XFERREADY);
}

TEST_F(Notifications, GoOnlyToTheSourceTheyCameFromAndDieWithIt) {
    HWND window;
    TW_IDENTITY app, source;
    ASSERT_NO_FATAL_FAILURE(OpenQuorvexWithWindow(&window, &app, &source));
    TW_IDENTITY elsewhere = source;
    elsewhere.Id = source.Id + 100;
    EXPECT_EQ(Notify(&elsewhere, &app, MSG_XFERREADY), TWRC_SUCCESS);
    MSG anything = MessageFor(window, WM_USER + 2);
    TW_UINT16 twMessage;
    EXPECT_EQ(ProcessEvent(&app, &source, &anything, &twMessage), TWRC_NOTDSEVENT);

    EXPECT_EQ(Notify(&source, &app, MSG_XFERREADY), TWRC_SUCCESS);
    ASSERT_EQ(CloseSource(&app, &source), TWRC_SUCCESS);
    TW_IDENTITY reopened = OpenQuorvex(&app);
    ASSERT_NE(reopened.Id, 0u);
    EXPECT_EQ(ProcessEvent(&app, &reopened, &anything, &twMessage), TWRC_NOTDSEVENT)
        << "a closed source's notification reached its successor";
}

TEST_F(Notifications, TheRecordIsSafeAcrossThreads) {
    constexpr int Threads = 4, Each = 300;
    std::atomic<int> finished{0};
    std::vector<std::thread> senders;
    for (int t = 0; t < Threads; ++t)
        senders.emplace_back([this, t, &finished] {
            TW_IDENTITY source = OpenedSourceIdentity(100 + t);
            for (int i = 0; i < Each; ++i) {
                TW_IDENTITY app = AppIdentity(i);
                Notify(&source, &app, i % 2 ? MSG_CLOSEDSREQ : MSG_XFERREADY);
            }
            ++finished;
        });
    // Read while they write: the record only grows.
    int seen = 0;
    while (finished < Threads) {
        int count = RecordCount();
        EXPECT_GE(count, seen);
        seen = count;
        DsmNotification latest;
        if (count > 0) {
            EXPECT_TRUE(RecordGet(count - 1, &latest));
        }
    }
    for (std::thread &sender : senders) sender.join();
    std::vector<Notification> record = qx::Notifications();
    ASSERT_EQ(record.size(), size_t(Threads * Each));
    // Every sender's calls are there whole and in its own order.
    std::vector<int> next(Threads, 0);
    for (const Notification &note : record) {
        int t = static_cast<int>(note.origin.Id) - 100;
        ASSERT_TRUE(t >= 0 && t < Threads);
        EXPECT_EQ(static_cast<int>(note.destination.Id), next[t]);
        EXPECT_EQ(note.message, next[t] % 2 ? MSG_CLOSEDSREQ : MSG_XFERREADY);
        EXPECT_TRUE(SameName(note.origin.ProductName, QuorvexProduct));
        ++next[t];
    }
}

// With the source's own enable: it sends MSG_XFERREADY itself.
TEST_F(Notifications, EnableWithoutUserInterfaceReachesTheApplicationsLoop) {
    HWND window;
    TW_IDENTITY app, source;
    ASSERT_NO_FATAL_FAILURE(EnableQuorvex(false, &window, &app, &source));
    std::vector<Notification> record = qx::Notifications();
    ASSERT_EQ(record.size(), 1u) << "sent during MSG_ENABLEDS";
    EXPECT_EQ(memcmp(&record[0].origin, &source, sizeof source), 0);
    EXPECT_EQ(record[0].destination.Id, app.Id);
    EXPECT_TRUE(SameName(record[0].destination.ProductName, "DSM test application"));
    EXPECT_EQ(record[0].message, MSG_XFERREADY);
    EXPECT_TRUE(PumpUntilSourceMessage(&app, &source, MSG_XFERREADY, 10000));

    // The transfer the notification announced, through the Source Manager.
    TW_HANDLE bitmap = nullptr;
    ASSERT_EQ(Dsm(&app, &source, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &bitmap), TWRC_XFERDONE);
    auto *header = static_cast<BITMAPINFOHEADER *>(GlobalLock(bitmap));
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->biSize, 40u);
    EXPECT_EQ(header->biWidth, 640);
    EXPECT_EQ(header->biHeight, 480);
    GlobalUnlock(bitmap);
    GlobalFree(bitmap);
    TW_PENDINGXFERS pending = {0xFFFF, 0};
    EXPECT_EQ(Dsm(&app, &source, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending),
              TWRC_SUCCESS);
    EXPECT_EQ(pending.Count, 0);
}

// The source's dialog runs inside MSG_PROCESSEVENT; its Cancel comes back
// from that very call.
TEST_F(Notifications, CancelInTheSourcesDialogComesBackAsCloseRequest) {
    HWND window;
    TW_IDENTITY app, source;
    ASSERT_NO_FATAL_FAILURE(EnableQuorvex(true, &window, &app, &source));
    EXPECT_TRUE(qx::Notifications().empty()) << "nothing to tell before the user acts";
    HWND dialog = FindSourceDialog();
    ASSERT_NE(dialog, nullptr);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
    EXPECT_TRUE(PumpUntilSourceMessage(&app, &source, MSG_CLOSEDSREQ, 10000));
    std::vector<Notification> record = qx::Notifications();
    ASSERT_EQ(record.size(), 1u);
    EXPECT_EQ(record[0].origin.Id, source.Id);
    EXPECT_EQ(record[0].message, MSG_CLOSEDSREQ);
}

}  // namespace
