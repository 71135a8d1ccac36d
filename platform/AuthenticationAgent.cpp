#include "AuthenticationAgent.h"

#include "AuthenticationDialog.h"
#include "AuthorizationServices.h"
#include "ModifyPermissionRight.h"
#include "SystemLog.h"

#include <QApplication>
#include <QPointer>

// GLib's headers use "signals" as a field name; Qt defines it as a keyword.
#pragma push_macro("signals")
#undef signals
#define POLKIT_AGENT_I_KNOW_API_IS_SUBJECT_TO_CHANGE
#include <polkitagent/polkitagent.h>
#pragma pop_macro("signals")

#include <unistd.h>

namespace {

// One authentication that polkitd asked for: a dialog, and a PAM session per
// attempt. Lives until the GTask has been answered.
class Conversation : public QObject
{
public:
    Conversation(GTask *task, PolkitIdentity *identity, const char *cookie, const QString &message,
                 const QString &whatWillBeDone)
        : m_task(task)
        , m_identity(POLKIT_IDENTITY(g_object_ref(identity)))
        , m_cookie(cookie)
    {
        QString who = QString::fromUtf8(polkit_identity_to_string(identity));
        if (POLKIT_IS_UNIX_USER(identity)) {
            const gchar *name = polkit_unix_user_get_name(POLKIT_UNIX_USER(identity));
            if (name)
                who = QString::fromUtf8(name);
        }
        m_dialog = new AuthenticationDialog(message, whatWillBeDone, who, QApplication::activeWindow());
        m_dialog->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(m_dialog, &AuthenticationDialog::passwordEntered, this, &Conversation::answer);
        QObject::connect(m_dialog, &QDialog::rejected, this, [this] { finish(false); });
        if (GCancellable *cancellable = g_task_get_cancellable(task)) {
            // polkitd gave up (timeout, the caller went away): close quietly.
            m_cancelHandler = g_cancellable_connect(cancellable, G_CALLBACK(+[](GCancellable *, gpointer self) {
                QMetaObject::invokeMethod(static_cast<Conversation *>(self), [c = static_cast<Conversation *>(self)] {
                    c->finish(false);
                }, Qt::QueuedConnection);
            }), this, nullptr);
        }
        m_dialog->open();
        emit AuthenticationAgent::instance()->passwordRequested(m_dialog);
    }

    ~Conversation() override
    {
        dropSession();
        if (m_cancelHandler)
            g_cancellable_disconnect(g_task_get_cancellable(m_task), m_cancelHandler);
        g_object_unref(m_identity);
        g_object_unref(m_task);
    }

private:
    void answer(const QString &password)
    {
        m_password = password.toUtf8();
        m_haveAnswer = true;
        m_dialog->setBusy(true);
        if (m_waitingSession) {
            // A session asked a further question: this is its answer.
            respond(m_waitingSession);
            return;
        }
        dropSession();
        m_session = polkit_agent_session_new(m_identity, m_cookie.constData());
        g_signal_connect(m_session, "request", G_CALLBACK(onRequest), this);
        g_signal_connect(m_session, "completed", G_CALLBACK(onCompleted), this);
        g_signal_connect(m_session, "show-error", G_CALLBACK(onShowError), this);
        polkit_agent_session_initiate(m_session);
    }

    void respond(PolkitAgentSession *session)
    {
        m_waitingSession = nullptr;
        m_haveAnswer = false;
        polkit_agent_session_response(session, m_password.constData());
        m_password.fill('\0');
        m_password.clear();
    }

    static void onRequest(PolkitAgentSession *session, const gchar *prompt, gboolean, gpointer self)
    {
        auto *c = static_cast<Conversation *>(self);
        if (c->m_haveAnswer) {
            c->respond(session);
            return;
        }
        c->m_waitingSession = session;
        c->m_dialog->askAgain(QString(), QString::fromUtf8(prompt));
        emit AuthenticationAgent::instance()->passwordRequested(c->m_dialog);
    }

    static void onShowError(PolkitAgentSession *, const gchar *text, gpointer self)
    {
        static_cast<Conversation *>(self)->m_lastError = QString::fromUtf8(text);
    }

    static void onCompleted(PolkitAgentSession *, gboolean gained, gpointer self)
    {
        auto *c = static_cast<Conversation *>(self);
        if (gained) {
            c->finish(true);
            return;
        }
        // A wrong password asks again; the session is spent.
        c->m_haveAnswer = false;
        c->m_waitingSession = nullptr;
        QString problem = QObject::tr("Sorry, that didn't work. Please try again.");
        if (!c->m_lastError.isEmpty())
            problem += QLatin1Char(' ') + c->m_lastError;
        c->m_lastError.clear();
        c->m_dialog->askAgain(problem);
        emit AuthenticationAgent::instance()->passwordRequested(c->m_dialog);
    }

    void dropSession()
    {
        if (!m_session)
            return;
        g_signal_handlers_disconnect_by_data(m_session, this);
        polkit_agent_session_cancel(m_session);
        g_object_unref(m_session);
        m_session = nullptr;
    }

    void finish(bool gained)
    {
        if (m_finished)
            return;
        m_finished = true;
        if (gained)
            g_task_return_boolean(m_task, TRUE);
        else
            g_task_return_new_error(m_task, POLKIT_ERROR, POLKIT_ERROR_CANCELLED,
                                    "The authentication was dismissed by the user");
        if (m_dialog) {
            QObject::disconnect(m_dialog, nullptr, this, nullptr);
            m_dialog->close();
        }
        deleteLater();
    }

    GTask *m_task;
    PolkitIdentity *m_identity;
    QByteArray m_cookie;
    QByteArray m_password;
    QString m_lastError;
    QPointer<AuthenticationDialog> m_dialog;
    PolkitAgentSession *m_session = nullptr;
    PolkitAgentSession *m_waitingSession = nullptr;
    bool m_haveAnswer = false;
    bool m_finished = false;
    gulong m_cancelHandler = 0;
};

// What the administrator's password will allow, said in the dialog: polkit's
// message alone names no program, as the check that asks carries no details.
QString whatWillBeDone(const gchar *actionId, PolkitDetails *details)
{
    if (g_strcmp0(actionId, kModifyPermissionRight) == 0)
        return QObject::tr("Permissions of items that you don't own will be changed.");
    // pkexec asking on its own names its command line.
    const gchar *commandLine = details ? polkit_details_lookup(details, "command_line") : nullptr;
    if (commandLine && *commandLine)
        return QObject::tr("This will run as the administrator: %1").arg(QString::fromUtf8(commandLine));
    if (!AuthorizationPendingCommandLine().empty())
        return QObject::tr("This will run as the administrator: %1")
            .arg(QString::fromUtf8(AuthorizationPendingCommandLine().c_str()));
    return QString();
}

PolkitIdentity *chooseIdentity(GList *identities)
{
    // An administrator account is asked for by name; groups can't type passwords.
    for (GList *l = identities; l; l = l->next) {
        if (POLKIT_IS_UNIX_USER(l->data))
            return POLKIT_IDENTITY(l->data);
    }
    return identities ? POLKIT_IDENTITY(identities->data) : nullptr;
}

} // namespace

extern "C" {

struct BrindleListener
{
    PolkitAgentListener parent_instance;
};
struct BrindleListenerClass
{
    PolkitAgentListenerClass parent_class;
};

G_DEFINE_TYPE(BrindleListener, brindle_listener, POLKIT_AGENT_TYPE_LISTENER)

static void brindle_listener_initiate_authentication(PolkitAgentListener *listener, const gchar *actionId,
                                                     const gchar *message, const gchar *, PolkitDetails *details,
                                                     const gchar *cookie,
                                                     GList *identities, GCancellable *cancellable,
                                                     GAsyncReadyCallback callback, gpointer user_data)
{
    GTask *task = g_task_new(listener, cancellable, callback, user_data);
    PolkitIdentity *identity = chooseIdentity(identities);
    if (!identity) {
        g_task_return_new_error(task, POLKIT_ERROR, POLKIT_ERROR_FAILED, "No identity to authenticate as");
        g_object_unref(task);
        return;
    }
    new Conversation(task, identity, cookie, QString::fromUtf8(message), whatWillBeDone(actionId, details));
}

static gboolean brindle_listener_initiate_authentication_finish(PolkitAgentListener *, GAsyncResult *res,
                                                                GError **error)
{
    return g_task_propagate_boolean(G_TASK(res), error);
}

static void brindle_listener_init(BrindleListener *) {}

static void brindle_listener_class_init(BrindleListenerClass *klass)
{
    auto *listenerClass = POLKIT_AGENT_LISTENER_CLASS(klass);
    listenerClass->initiate_authentication = brindle_listener_initiate_authentication;
    listenerClass->initiate_authentication_finish = brindle_listener_initiate_authentication_finish;
}

} // extern "C"

AuthenticationAgent *AuthenticationAgent::instance()
{
    static AuthenticationAgent *agent = new AuthenticationAgent;
    return agent;
}

bool AuthenticationAgent::ensureRegistered()
{
    if (m_tried)
        return m_registered;
    m_tried = true;
    PolkitAgentListener *listener = POLKIT_AGENT_LISTENER(g_object_new(brindle_listener_get_type(), nullptr));
    PolkitSubject *self = polkit_unix_process_new_for_owner(getpid(), 0, gint(getuid()));
    GVariantBuilder options;
    g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
    // In a login session the desktop's own agent, where there is one, answers
    // instead. Outside a session polkitd (122) passes a fallback agent over,
    // so there this agent registers as the process's only one.
    const bool inLoginSession = !qEnvironmentVariableIsEmpty("XDG_SESSION_ID");
    g_variant_builder_add(&options, "{sv}", "fallback", g_variant_new_boolean(inLoginSession));
    GError *error = nullptr;
    // Registration cannot call back into the agent, so its internal wait is safe here.
    gpointer handle = polkit_agent_listener_register_with_options(
        listener, POLKIT_AGENT_REGISTER_FLAGS_NONE, self, "/it/vantelo/Brindle/AuthenticationAgent",
        g_variant_builder_end(&options), nullptr, &error);
    g_object_unref(self);
    if (!handle) {
        systemLog(QStringLiteral("Could not register the authentication agent: %1")
                      .arg(QString::fromUtf8(error ? error->message : "unknown error")));
        g_clear_error(&error);
        g_object_unref(listener);
        return false;
    }
    // The listener and its registration live as long as the process.
    m_registered = true;
    return true;
}
