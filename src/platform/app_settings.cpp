#include "platform/app_settings.h"

#include "platform/settings_store.h"

namespace kapitolo {

namespace {

// One table drives both directions, so a value can never be read under one name
// and written under another.
template<typename Visitor>
void visit(AppSettings &s, Visitor &&v)
{
    v("Opt-Sound", s.sound);
    v("Opt-UebNameEingabe", s.nameEntry);
    v("Opt-AutoProtSpeichern", s.autoSaveProtocol);
    v("Opt-ErgebBestListEintragen", s.autoBestListEntry);
    v("Opt-Lernansicht", s.learningView);
    v("NetzKomOrdner", s.communicationFolder);
    v("NetzKomKanal", s.channel);
    v("NetzWebTeilnahme", s.webParticipation);
    v("NetzWebPort", s.webPort);
    v("NetzWebCode", s.webCode);
    v("NetzWebJeGeraet", s.webSessionsPerDevice);
    v("NetzJournalTage", s.journalDays);
    v("Opt-ProtOrdner", s.protocolFolder);
    v("Opt-BestListOrdner", s.bestListFolder);
    v("UebOpt-AbfrageModus", s.abfrageModus);
    v("UebOpt-ZeitLimit", s.zeitLimit);
    v("UebOpt-ZLimitMin", s.zLimitMin);
    v("UebOpt-ZLimitSek", s.zLimitSek);
    v("UebOpt-ZuordnungRichtig", s.zuordnungRichtig);
    v("UebOpt-ZuordnungFalsch", s.zuordnungFalsch);
    v("UebOpt-Zuordnungstexte", s.zuordnungstexte);
    v("UebOpt-Zuordnungsziele", s.zuordnungsziele);
    v("UebOptFragen-ZuordnungFalsch", s.fragenZuordnungFalsch);
    v("UebOptFragen-Zuordnungstexte", s.fragenZuordnungstexte);
    v("UebOptFragen-Zeitlimit", s.fragenZeitlimit);
    v("UebOptFragen-ZLimitMin", s.fragenZLimitMin);
    v("UebOptFragen-ZLimitSek", s.fragenZLimitSek);
    v("UebOptFragen-Zuordnungsziele", s.fragenZuordnungsziele);
}

struct Reader {
    const SettingsStore &store;
    void operator()(const char *name, bool &value) const
    {
        if (auto v = store.readBool(QLatin1String(name)))
            value = *v;
    }
    void operator()(const char *name, qint32 &value) const
    {
        if (auto v = store.readInt(QLatin1String(name)))
            value = *v;
    }
    void operator()(const char *name, QString &value) const
    {
        if (auto v = store.readString(QLatin1String(name)))
            value = *v;
    }
};

struct Writer {
    SettingsStore &store;
    void operator()(const char *name, bool value) const { store.writeBool(QLatin1String(name), value); }
    void operator()(const char *name, qint32 value) const { store.writeInt(QLatin1String(name), value); }
    void operator()(const char *name, const QString &value) const { store.writeString(QLatin1String(name), value); }
};

} // namespace

AppSettings AppSettings::defaults(const QString &programFolder, const QString &sharedFolder,
                                  const std::function<bool(const QString &)> &isWritable)
{
    AppSettings s;
    s.communicationFolder = writableSubFolder(programFolder, sharedFolder, QStringLiteral("kom"), isWritable);
    s.protocolFolder = writableSubFolder(programFolder, sharedFolder, QStringLiteral("protokolle"), isWritable);
    s.bestListFolder = writableSubFolder(programFolder, sharedFolder, QStringLiteral("bestenlisten"), isWritable);
    return s;
}

void AppSettings::read(const SettingsStore &store)
{
    visit(*this, Reader{store});
}

void AppSettings::write(SettingsStore &store) const
{
    visit(const_cast<AppSettings &>(*this), Writer{store});
}

} // namespace kapitolo
