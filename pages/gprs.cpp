// Frame1 "GPRS-SET": the APN, server, HTTP and interval rows and the GPRS write chain.
#include "link/commands.h"
#include "pages/form2.h"

void Form2::Command10_Click()
{
    if (!engine_->prologue())
        return;
    dispatch(Code::Apn, gprs::apn(txt("Text1")));
}

void Form2::Command12_Click()
{
    if (!engine_->prologue())
        return;
    dispatch(Code::ApnUser, gprs::apnUser(txt("Text19"), txt("Text20")));
}

void Form2::Command21_Click()
{
    if (!engine_->prologue())
        return;
    dispatch(Code::ApnServer, gprs::apnServer(txt("Text1"), txt("Text3"), txt("Text5")));
}

void Form2::Command22_Click()
{
    if (!engine_->prologue())
        return;
    dispatch(Code::Http, gprs::http(txt("Text4"), txt("Text31")));
}

void Form2::Command23_Click()
{
    if (!engine_->prologue())
        return;
    dispatch(Code::Interval, gprs::interval(txt("Text21"), selected("Option1"), selected("Option2"),
                                            selected("Option3")));
}

void Form2::Command2_Click()
{
    if (!engine_->prologue())
        return;
    engine_->setCode(Code::GprsChainApn);
    // A refused WRITE ends the transaction: a code left pending would let stray text from the
    // tracker fire the chain later and send "SETO…" unasked.
    if (!dispatch(Code::GprsChainApn, gprs::writeStart(txt("Text1"), txt("Text3"), txt("Text5"))))
        engine_->end();
}

void Form2::wireGprs()
{
    onClick("Command10", [this] { Command10_Click(); });
    onClick("Command12", [this] { Command12_Click(); });
    onClick("Command21", [this] { Command21_Click(); });
    onClick("Command22", [this] { Command22_Click(); });
    onClick("Command23", [this] { Command23_Click(); });
    onClick("Command2", [this] { Command2_Click(); });

    for (Code c : {Code::Apn, Code::ApnUser, Code::ApnServer, Code::Http, Code::Interval,
                   Code::GprsChainInterval})
        engine_->setRule(c, [this](const QString&) { engine_->acknowledge(text::kOk); });
    engine_->setRule(Code::GprsChainApn, [this](const QString&) {
        engine_->chain(text::kOk, [this] {
            chainStep(Code::GprsChainUser, Draft::send(gprs::userLine(txt("Text19"), txt("Text20"))));
        });
    });
    engine_->setRule(Code::GprsChainUser, [this](const QString&) {
        engine_->chain(text::kOk, [this] {
            chainStep(Code::GprsChainHttp, Draft::send(gprs::httpLine(txt("Text4"), txt("Text31"))));
        });
    });
    engine_->setRule(Code::GprsChainHttp, [this](const QString&) {
        engine_->chain(text::kOk, [this] {
            chainStep(Code::GprsChainInterval,
                      gprs::interval(txt("Text21"), selected("Option1"), selected("Option2"), selected("Option3")));
        });
    });
}
