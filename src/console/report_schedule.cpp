#include "console/report_schedule.h"

namespace zv {

namespace {

// The Task Scheduler's paths are Windows' own, whatever built this text.
QString windowsPath(QString path) { return path.replace(u'/', u'\\'); }

QString xmlText(QString text) {
    return text.replace(u'&', QLatin1String("&amp;"))
        .replace(u'<', QLatin1String("&lt;"))
        .replace(u'>', QLatin1String("&gt;"))
        .replace(u'"', QLatin1String("&quot;"));
}

}  // namespace

QString reportTaskXml(const QString& program, const QString& workRoot) {
    // Trailing separators would escape the closing quote on the command line.
    QString root = windowsPath(workRoot);
    while (root.size() > 3 && root.endsWith(u'\\')) root.chop(1);
    const QString arguments = QStringLiteral("get-reports --work-root \"%1\"").arg(root);
    // Hourly from 8:00 for ten hours, Monday to Friday; a run missed while the computer was
    // off starts when it is back (StartWhenAvailable); never two at once.
    return QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n"
               "<Task version=\"1.2\" "
               "xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\n"
               "  <RegistrationInfo><Description>Fetches ZOD's reports every hour on working "
               "days</Description></RegistrationInfo>\n"
               "  <Triggers><CalendarTrigger>\n"
               "    <Repetition><Interval>PT1H</Interval><Duration>PT10H</Duration>"
               "<StopAtDurationEnd>false</StopAtDurationEnd></Repetition>\n"
               "    <StartBoundary>2024-01-01T08:00:00</StartBoundary><Enabled>true</Enabled>\n"
               "    <ScheduleByWeek><WeeksInterval>1</WeeksInterval><DaysOfWeek><Monday/>"
               "<Tuesday/><Wednesday/><Thursday/><Friday/></DaysOfWeek></ScheduleByWeek>\n"
               "  </CalendarTrigger></Triggers>\n"
               "  <Principals><Principal id=\"Author\"><LogonType>InteractiveToken</LogonType>"
               "<RunLevel>LeastPrivilege</RunLevel></Principal></Principals>\n"
               "  <Settings><MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>"
               "<DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>"
               "<StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>"
               "<StartWhenAvailable>true</StartWhenAvailable>"
               "<ExecutionTimeLimit>PT30M</ExecutionTimeLimit><Enabled>true</Enabled></Settings>\n"
               "  <Actions Context=\"Author\"><Exec><Command>%1</Command>"
               "<Arguments>%2</Arguments><WorkingDirectory>%3</WorkingDirectory></Exec></Actions>\n"
               "</Task>\n")
        .arg(xmlText(windowsPath(program)), xmlText(arguments), xmlText(root));
}

}  // namespace zv
