#pragma once

#include <gio/gio.h>
#include <polkit/polkit.h>

// Waits for one asynchronous GLib call by iterating the thread's default main
// context: in Brindle that is the context Qt's event loop runs on, so windows,
// the authentication agent and the call's reply are all served meanwhile.
struct PolkitWait
{
    GAsyncResult *result = nullptr;

    ~PolkitWait()
    {
        if (result)
            g_object_unref(result);
    }
    void run()
    {
        GMainContext *context = g_main_context_ref_thread_default();
        while (!result)
            g_main_context_iteration(context, TRUE);
        g_main_context_unref(context);
    }
    static void ready(GObject *, GAsyncResult *res, gpointer self)
    {
        static_cast<PolkitWait *>(self)->result = G_ASYNC_RESULT(g_object_ref(res));
    }
};

// The process's polkit authority, obtained asynchronously once; null when the
// system bus or polkitd can't be reached.
PolkitAuthority *polkitAuthority();

