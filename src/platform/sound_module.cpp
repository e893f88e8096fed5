// The program's sound output as a module of its own, loaded at the first sound: Qt
// Multimedia and the sound system's libraries it pulls in then load with it, not at
// every start of the program.

#include <QSoundEffect>
#include <QString>
#include <QUrl>

extern "C" {

Q_DECL_EXPORT void *kapitoloSoundCreate()
{
    return new QSoundEffect;
}

Q_DECL_EXPORT void kapitoloSoundPlay(void *effect, const QString *path)
{
    auto *sound = static_cast<QSoundEffect *>(effect);
    const QUrl url = QUrl::fromLocalFile(*path);
    if (sound->source() != url)
        sound->setSource(url);
    sound->play();
}

Q_DECL_EXPORT void kapitoloSoundStop(void *effect)
{
    static_cast<QSoundEffect *>(effect)->stop();
}

Q_DECL_EXPORT void kapitoloSoundDestroy(void *effect)
{
    delete static_cast<QSoundEffect *>(effect);
}

} // extern "C"
